#include "frmAdminUi.h"

#include "core/widgets/Calendar.h"
#include "core/widgets/ProgramWindow.h"
#include "core/widgets/Twips.h"

#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <initializer_list>

namespace {

// Top of each grid row, in twips; the six fields of a row share it.
constexpr std::array<int, frmAdminUi::Rows> RowTops = {795,  1080, 1365, 1650, 1935,
                                                       2220, 2490, 2790, 3075, 3390};
constexpr int RowHeight = 285;

// Left and width of each column, in twips.
struct Column
{
    int left;
    int width;
};
constexpr Column DelColumn{885, 255};
constexpr Column UserColumn{1290, 1935};
constexpr Column PasswordColumn{3255, 1815};
constexpr Column MinsColumn{5100, 975};
constexpr Column LeftColumn{6120, 975};
constexpr Column DateColumn{7140, 1455};

const QColor CalendarBackColor(0xFF, 0xE0, 0xC0);

QString arrayName(const char *name, int index)
{
    return QLatin1String(name) + QLatin1Char('_') + QString::number(index);
}

// What a screen reader says for a grid field: its column header and its row, counted from 1.
QString cellName(const QString &header, int row)
{
    return header + QStringLiteral(", row ") + QString::number(row + 1);
}

QFont sansSerif(double points, bool bold = false)
{
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

} // namespace

void frmAdminUi::setupUi(QWidget *window)
{
    // A sizable window with minimise and close boxes but no maximise box.
    ProgramWindow::setUp(window, QStringLiteral("frmAdmin"), QStringLiteral("Administrator"),
                         ProgramWindow::MinimiseAndClose);
    window->resize(Twips::size(10785, 4575));

    // Every control lies in one frame over the whole client area; the window has no resize
    // handling, so the controls keep their places when it is resized.
    frmAdminx = new QFrame(window);
    frmAdminx->setObjectName(QStringLiteral("frmAdminx"));
    frmAdminx->setFrameStyle(QFrame::Box | QFrame::Sunken);
    Twips::place(frmAdminx, 0, 0, 10785, 4575);

    buildGrid();
    buildButtons();

    InErrMsg = new QLabel(frmAdminx);
    InErrMsg->setObjectName(QStringLiteral("InErrMsg"));
    InErrMsg->setFont(sansSerif(9.75, true));
    QPalette red = InErrMsg->palette();
    red.setColor(QPalette::WindowText, Qt::red);
    InErrMsg->setPalette(red);
    // The longest messages take two lines: they wrap, and the line reaches down to the bottom
    // of the window, so that no text is cut off.
    InErrMsg->setWordWrap(true);
    InErrMsg->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Twips::place(InErrMsg, 2010, 3840, 5415, 4575 - 3840);

    // Created last, so that it lies over the grid and the message line when open.
    buildCalendar();

    // Along each row, down the rows, then the buttons and the calendar.
    QWidget *previous = nullptr;
    auto chain = [&previous](QWidget *next) {
        if (previous)
            QWidget::setTabOrder(previous, next);
        previous = next;
    };
    for (int row = 0; row < Rows; ++row) {
        for (QWidget *field :
             std::initializer_list<QWidget *>{chkDel[row], txtUser[row], txtPassword[row],
                                              txtMins[row], txtLeft[row], txtDate[row]})
            chain(field);
    }
    for (QWidget *button : {cmdReload, cmdSave, cmdLogoff, cmdExit})
        chain(button);
    chain(Calendar1);
}

void frmAdminUi::buildGrid()
{
    // Each header reaches to the next one and wraps onto a second line above the grid when
    // the desktop's font is wider than the design font; a word that is still too wide for
    // its room pushes the header's left edge out towards its column's left edge.
    struct Header
    {
        QLabel *&label;
        const char *name;
        const char *caption;
        int left;
        int top;
        int right;
        int columnLeft;
    };
    const Header headers[] = {{Label6, "Label6", "Del", 855, 345, 1320, DelColumn.left},
                              {Label1, "Label1", "User Id", 1350, 360, 3300, UserColumn.left},
                              {Label2, "Label2", "Password", 3330, 390, 5100, PasswordColumn.left},
                              {Label3, "Label3", "Mins Per Day", 5130, 360, 6105, MinsColumn.left},
                              {Label5, "Label5", "Remaining", 6225, 360, 7125, LeftColumn.left},
                              {Label4, "Label4", "Last Logon", 7200, 345, 9000, DateColumn.left}};
    const int gridTop = RowTops[0];
    for (const Header &h : headers) {
        h.label = new QLabel(QLatin1String(h.caption), frmAdminx);
        h.label->setObjectName(QLatin1String(h.name));
        h.label->setWordWrap(true);
        h.label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        QRect room = Twips::rect(h.left, h.top, h.right - h.left, gridTop - 30 - h.top);
        int widestWord = 0;
        for (const QString &word : h.label->text().split(QLatin1Char(' ')))
            widestWord = qMax(widestWord, h.label->fontMetrics().horizontalAdvance(word) + 2);
        if (widestWord > room.width())
            room.setLeft(qMax(Twips::px(h.columnLeft), room.right() + 1 - widestWord));
        h.label->setGeometry(room);
    }

    auto makeField = [this](const char *name, int row, const Column &column, const QLabel *header) {
        auto *field = new QLineEdit(frmAdminx);
        field->setObjectName(arrayName(name, row));
        field->setAccessibleName(cellName(header->text(), row));
        Twips::place(field, column.left, RowTops[row], column.width, RowHeight);
        return field;
    };
    for (int row = 0; row < Rows; ++row) {
        chkDel[row] = new QCheckBox(frmAdminx);
        chkDel[row]->setObjectName(arrayName("chkDel", row));
        chkDel[row]->setAccessibleName(cellName(Label6->text(), row));
        chkDel[row]->setAccessibleDescription(
            QStringLiteral("Delete this account when the changes are saved"));
        Twips::place(chkDel[row], DelColumn.left, RowTops[row], DelColumn.width, RowHeight);

        txtUser[row] = makeField("txtUser", row, UserColumn, Label1);
        txtPassword[row] = makeField("txtPassword", row, PasswordColumn, Label2);
        txtMins[row] = makeField("txtMins", row, MinsColumn, Label3);
        txtLeft[row] = makeField("txtLeft", row, LeftColumn, Label5);
        txtDate[row] = makeField("txtDate", row, DateColumn, Label4);
    }
    // The first account can be neither deleted nor renamed here.
    chkDel[0]->setEnabled(false);
    txtUser[0]->setEnabled(false);
}

void frmAdminUi::buildButtons()
{
    struct Button
    {
        QPushButton *&button;
        const char *name;
        const char *caption;
        int top;
    };
    const Button buttons[] = {{cmdReload, "cmdReload", "&Reload", 720},
                              {cmdSave, "cmdSave", "&Save", 1695},
                              {cmdLogoff, "cmdLogoff", "&Logoff", 2670},
                              {cmdExit, "cmdExit", "E&xit", 3645}};
    for (const Button &b : buttons) {
        b.button = new QPushButton(QLatin1String(b.caption), frmAdminx);
        b.button->setObjectName(QLatin1String(b.name));
        b.button->setAutoDefault(false);
        Twips::place(b.button, 9060, b.top, 1080, 615);
    }
    cmdSave->setToolTip(
        QStringLiteral("Click her to save the changes you made to the logon file."));
}

void frmAdminUi::buildCalendar()
{
    Calendar1 = new Calendar(frmAdminx);
    Calendar1->setObjectName(QStringLiteral("Calendar1"));
    Calendar1->setAccessibleName(QStringLiteral("Calendar"));
    Calendar1->setSelectedDate(QDate(1998, 1, 26));
    Calendar1->setFont(sansSerif(8.25));
    QPalette back = Calendar1->palette();
    back.setColor(QPalette::Base, CalendarBackColor);
    back.setColor(QPalette::AlternateBase, CalendarBackColor);
    back.setColor(QPalette::Window, CalendarBackColor);
    Calendar1->setPalette(back);
    Calendar1->setAutoFillBackground(true);
    // The title (month and year) in Arial 12 pt bold.
    QFont title(QStringLiteral("Arial"));
    title.setStyleHint(QFont::SansSerif);
    title.setPointSizeF(12);
    title.setBold(true);
    if (auto *navigation = Calendar1->findChild<QWidget *>(
            QStringLiteral("qt_calendar_navigationbar"), Qt::FindDirectChildrenOnly)) {
        for (QWidget *part : navigation->findChildren<QWidget *>())
            part->setFont(title);
    }
    // The month arrows carry only an icon; give them names a screen reader can say.
    if (auto *previous = Calendar1->findChild<QWidget *>(QStringLiteral("qt_calendar_prevmonth")))
        previous->setAccessibleName(QStringLiteral("Previous month"));
    if (auto *next = Calendar1->findChild<QWidget *>(QStringLiteral("qt_calendar_nextmonth")))
        next->setAccessibleName(QStringLiteral("Next month"));
    Twips::place(Calendar1, 4095, 1005, 4755, 3330);
    Calendar1->setVisible(false);
}
