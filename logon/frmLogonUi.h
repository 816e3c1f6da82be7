#pragma once

class QAction;
class QLabel;
class QLineEdit;
class QMenuBar;
class QPushButton;
class QTimer;
class QWidget;

// The controls of the logon window and their layout, apart from its behaviour.
class frmLogonUi
{
public:
    // Creates the controls as children of window, places them and sets the window's frame.
    void setupUi(QWidget *window);

    QLineEdit *txtUser = nullptr;
    QLineEdit *txtPassword = nullptr;
    QPushButton *cmdLogOn = nullptr;
    QLabel *Label1 = nullptr;
    QLabel *Label2 = nullptr;
    QLabel *Image1 = nullptr;
    QTimer *Timer1 = nullptr;
    QMenuBar *menuBar = nullptr;
    QAction *mnuAbout = nullptr;
    QAction *cmdExit = nullptr;
};
