#include "frmAdmin.h"

#include "core/rules/AppError.h"
#include "core/rules/DateText.h"
#include "core/services/MessageBoxes.h"
#include "core/services/Services.h"
#include "core/widgets/Calendar.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

frmAdmin::frmAdmin(const Services &services) : m_services(services)
{
    setupUi(this);

    for (int row = 0; row < Rows; ++row)
        connect(txtDate[row], &QLineEdit::textChanged, this, [this, row] { txtDate_Change(row); });
    connect(cmdReload, &QPushButton::clicked, this, &frmAdmin::cmdReload_Click);
    connect(cmdSave, &QPushButton::clicked, this, &frmAdmin::cmdSave_Click);
    connect(cmdLogoff, &QPushButton::clicked, this, &frmAdmin::cmdLogoff_Click);
    connect(cmdExit, &QPushButton::clicked, this, &frmAdmin::cmdExit_Click);
    connect(Calendar1, &Calendar::Click, this, &frmAdmin::Calendar1_Click);
    connect(Calendar1, &Calendar::LostFocus, this, &frmAdmin::Calendar1_LostFocus);
}

void frmAdmin::Show()
{
    show();
    raise();
    activateWindow();
}

void frmAdmin::Form_Load()
{
    FillGrid();
}

void frmAdmin::FillGrid()
{
    const QList<AccountSlot> accounts = m_services.accounts->accounts();
    for (int i = 0; i < Rows; ++i) {
        chkDel[i]->setEnabled(i != 0);
        txtUser[i]->setText(QString());
        txtPassword[i]->setText(QString());
        txtMins[i]->setText(QString());
        txtDate[i]->setText(QString());
        txtLeft[i]->setText(QString());
        if (i >= accounts.size())
            continue;
        const AccountSlot &slot = accounts.at(i);
        txtUser[i]->setText(slot.userId);
        txtPassword[i]->setText(slot.password);
        txtMins[i]->setText(QString::number(slot.minsPerDay));
        txtDate[i]->setText(slot.lastDate);
        txtLeft[i]->setText(QString::number(slot.minsLeft));
    }
}

QList<AccountTable::GridRow> frmAdmin::gridRows() const
{
    QList<AccountTable::GridRow> rows;
    for (int row = 0; row < Rows; ++row) {
        rows.append({chkDel[row]->isChecked(), txtUser[row]->text(), txtPassword[row]->text(),
                     txtMins[row]->text(), txtLeft[row]->text(), txtDate[row]->text()});
    }
    return rows;
}

void frmAdmin::refuse(const QString &text, int row, QLineEdit *field)
{
    InErrMsg->setText(text);
    if (field->isEnabled()) {
        field->setFocus();
        return;
    }
    // The first row's user id cannot take the focus: the first field of the row that can.
    for (QWidget *candidate :
         std::initializer_list<QWidget *>{chkDel[row], txtUser[row], txtPassword[row], txtMins[row],
                                          txtLeft[row], txtDate[row]}) {
        if (candidate->isEnabled()) {
            candidate->setFocus();
            return;
        }
    }
}

void frmAdmin::cmdSave_Click()
{
    // Check every row that is to be stored; the first fault ends the save. An empty "left"
    // takes the minutes per day on the way.
    QList<AccountTable::GridRow> rows = gridRows();
    const std::optional<AccountTable::GridFault> fault = AccountTable::checkGrid(rows);
    for (int row = 0; row < Rows; ++row) {
        if (txtLeft[row]->text() != rows.at(row).left)
            txtLeft[row]->setText(rows.at(row).left);
    }
    if (fault) {
        QLineEdit *const fields[] = {txtUser[fault->row], txtPassword[fault->row],
                                     txtMins[fault->row], txtLeft[fault->row], txtDate[fault->row]};
        if (fault->field == AccountTable::GridField::Date) {
            // An unreadable date is answered by the calendar on its row, without a message.
            openCalendar(fault->row);
            return;
        }
        refuse(fault->text, fault->row, fields[int(fault->field)]);
        return;
    }

    // The account table becomes the grid, closed up over the dropped rows, and is stored; the
    // grid shows what is stored. A room that does not take the grid (changed on another
    // computer since the grid was filled, or a failure on its server) changes nothing: the grid
    // stays as typed, delete marks included, and the message line says why.
    const QString updated = QStringLiteral("Records Updated");
    AccountTable::GridSave saved = AccountTable::GridSave::Saved;
    try {
        saved = m_services.accounts->replaceWithGrid(rows);
    } catch (const AppError &error) {
        for (QCheckBox *box : chkDel)
            box->setChecked(false);
        FillGrid();
        // An earlier save's message would tell of a success.
        if (InErrMsg->text() == updated)
            InErrMsg->clear();
        m_services.messages->show(error.errorText());
        return;
    }
    switch (saved) {
    case AccountTable::GridSave::Saved:
        break;
    case AccountTable::GridSave::ChangedElsewhere:
        InErrMsg->setText(AccountTable::ChangedElsewhereText);
        return;
    case AccountTable::GridSave::Failed:
        InErrMsg->setText(AccountTable::ServerSaveFailedText);
        return;
    }
    for (QCheckBox *box : chkDel)
        box->setChecked(false);
    FillGrid();
    InErrMsg->setText(updated);
}

void frmAdmin::cmdReload_Click()
{
    // A room's table is read again from its server; a failure keeps the grid as it was read.
    try {
        m_services.accounts->reload();
    } catch (const AppError &error) {
        m_services.messages->show(error.errorText());
    }
    FillGrid();
}

void frmAdmin::cmdLogoff_Click()
{
    close();
}

void frmAdmin::Form_Unload()
{
    if (m_unloaded)
        return;
    m_unloaded = true;
    emit loggedOff();
}

void frmAdmin::closeEvent(QCloseEvent *event)
{
    Form_Unload();
    // Closing is never refused.
    event->accept();
}

void frmAdmin::cmdExit_Click()
{
    emit exitWanted();
}

void frmAdmin::openCalendar(int row)
{
    Calendar1->setVisible(true);
    Calendar1->raise();
    Calendar1->selectToday();
    dateRow = static_cast<qint16>(row);
}

void frmAdmin::txtDate_Change(int index)
{
    if (txtDate[index]->text() == QLatin1String(" "))
        openCalendar(index);
}

void frmAdmin::Calendar1_Click()
{
    const int row = qBound(0, int(dateRow), Rows - 1);
    const QDate picked = Calendar1->value();
    if (picked.isValid())
        txtDate[row]->setText(DateText::fromDate(picked));
    txtDate[row]->setFocus();
    Calendar1->setVisible(false);
}

void frmAdmin::Calendar1_LostFocus()
{
    Calendar1->setVisible(false);
}
