#pragma once

#include <array>

class ProgressBar;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QWidget;

// The controls of the session window and their layout, apart from its behaviour.
class frmActiveUi
{
public:
    // Creates the controls as children of window, places them and sets the window's frame.
    void setupUi(QWidget *window);

    QGroupBox *frmPswChg = nullptr;
    QPushButton *cmdSavePsw = nullptr;
    QLineEdit *txtNewpsw = nullptr;
    QLabel *Label4 = nullptr;
    QPushButton *cmdCancel = nullptr;
    QLineEdit *txtUser = nullptr;
    std::array<QLabel *, 1> Label1{};
    QLineEdit *txtTime = nullptr;
    QLabel *Label3 = nullptr;
    QPushButton *cmdNewPsw = nullptr;
    QPushButton *cmdLogOff = nullptr;
    QPushButton *cmdMinimize = nullptr;
    ProgressBar *pb1 = nullptr;
    QRadioButton *optReStart = nullptr;
    QRadioButton *optShutDown = nullptr;
};
