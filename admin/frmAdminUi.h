#pragma once

#include <array>

class Calendar;
class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

// The controls of the administrator window and their layout, apart from its behaviour.
class frmAdminUi
{
public:
    static constexpr int Rows = 10;

    // Creates the controls as children of window, places them and sets the window's frame.
    void setupUi(QWidget *window);

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

private:
    // The column headers and the rows of fields under them.
    void buildGrid();
    // The column of buttons right of the grid.
    void buildButtons();
    // The date picker, hidden until a date field asks for it.
    void buildCalendar();
};
