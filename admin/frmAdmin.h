#pragma once

#include "core/AccountTable.h"

#include <QWidget>
#include <array>

class Calendar;
class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
struct Services;

// The administrator window "Administrator": a grid of the ten account slots, in which accounts
// are created, changed, deleted and saved, with a calendar for picking last-logon dates.
class frmAdmin : public QWidget
{
    Q_OBJECT
public:
    static constexpr int Rows = 10;

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

    QFrame *frmAdminx = nullptr;
    // Grid row i shows account slot i + 1.
    std::array<QCheckBox *, Rows> chkDel{};
    std::array<QLineEdit *, Rows> txtUser{};
    std::array<QLineEdit *, Rows> txtPassword{};
    std::array<QLineEdit *, Rows> txtMins{};
    std::array<QLineEdit *, Rows> txtLeft{};
    std::array<QLineEdit *, Rows> txtDate{};
    QLabel *Label6 = nullptr;
    QLabel *Label1 = nullptr;
    QLabel *Label2 = nullptr;
    QLabel *Label3 = nullptr;
    QLabel *Label5 = nullptr;
    QLabel *Label4 = nullptr;
    QPushButton *cmdReload = nullptr;
    QPushButton *cmdSave = nullptr;
    QPushButton *cmdLogoff = nullptr;
    QPushButton *cmdExit = nullptr;
    QLabel *InErrMsg = nullptr;
    Calendar *Calendar1 = nullptr;

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
    void buildGrid();
    void buildButtons();
    void buildCalendar();

    void openCalendar(int row);
    // The grid as typed, row by row.
    QList<AccountTable::GridRow> gridRows() const;
    // Reports a failed check in the message line and puts the focus on the field at fault.
    void refuse(const QString &text, int row, QLineEdit *field);

    const Services &m_services;
    bool m_unloaded = false;
};
