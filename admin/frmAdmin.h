#pragma once

#include "core/rules/AccountTable.h"
#include "frmAdminUi.h"

#include <QWidget>

class QLineEdit;
struct Services;

// The administrator window "Administrator": a grid of the ten account slots, in which accounts
// are created, changed, deleted and saved, with a calendar for picking last-logon dates.
class frmAdmin : public QWidget, public frmAdminUi
{
    Q_OBJECT
public:
    explicit frmAdmin(const Services &services);

    // Loads the window on first use and shows it, modeless.
    void Show();

    // Handlers, named after their controls and events.
    void Form_Load();
    void FillGrid();
    void cmdSave_Click();
    void cmdReload_Click();
    void cmdLogoff_Click();
    void Form_Unload();
    void cmdExit_Click();
    void txtDate_Change(int index);
    void Calendar1_Click();
    void Calendar1_LostFocus();

    // The grid row whose date field the calendar writes into.
    qint16 dateRow = 0;

signals:
    // The administrator logged off: the logon window waits again.
    void loggedOff();
    // Exit: the program ends at once, nothing more is saved and the machine stays up.
    void exitWanted();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void openCalendar(int row);
    // The grid as typed, row by row.
    QList<AccountTable::GridRow> gridRows() const;
    // Reports a failed check in the message line and puts the focus on the field at fault.
    void refuse(const QString &text, int row, QLineEdit *field);

    const Services &m_services;
    bool m_unloaded = false;
};
