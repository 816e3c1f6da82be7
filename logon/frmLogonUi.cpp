#include "frmLogonUi.h"

#include "core/widgets/AppIcon.h"
#include "core/widgets/ProgramWindow.h"
#include "core/widgets/Twips.h"

#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

void frmLogonUi::setupUi(QWidget *window)
{
    // A fixed-size tool window: small caption, no minimise, maximise or close box.
    ProgramWindow::setUp(window, QStringLiteral("frmLogon"), QStringLiteral("System Logon"),
                         Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint);

    menuBar = new QMenuBar(window);
    menuBar->setObjectName(QStringLiteral("menuBar"));
    mnuAbout = menuBar->addAction(QStringLiteral("&About"));
    mnuAbout->setObjectName(QStringLiteral("mnuAbout"));
    cmdExit = menuBar->addAction(QStringLiteral("E&xit"));
    cmdExit->setObjectName(QStringLiteral("cmdExit"));

    auto *client = new QWidget(window);
    client->setObjectName(QStringLiteral("client"));
    client->setFixedSize(Twips::size(5445, 3195));
    auto *layout = new QVBoxLayout(window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setMenuBar(menuBar);
    layout->addWidget(client);

    txtUser = new QLineEdit(client);
    txtUser->setObjectName(QStringLiteral("txtUser"));
    txtUser->setToolTip(QStringLiteral("Enter your UserId"));
    Twips::place(txtUser, 1080, 600, 2055, 285);

    txtPassword = new QLineEdit(client);
    txtPassword->setObjectName(QStringLiteral("txtPassword"));
    txtPassword->setToolTip(QStringLiteral("Enter your password (It will not be shown)"));
    // Nothing typed shows, and no password character either. No echo at all rather than text in
    // the box's background colour: such text still shows when the box is greyed out or its text
    // selected, and can be copied, taken from the X selection or read by accessibility tools.
    txtPassword->setEchoMode(QLineEdit::NoEcho);
    Twips::place(txtPassword, 1080, 1080, 2055, 285);

    cmdLogOn = new QPushButton(QStringLiteral("&Log On"), client);
    cmdLogOn->setObjectName(QStringLiteral("cmdLogOn"));
    cmdLogOn->setToolTip(QStringLiteral("Press this after you enter your User Id and Password"));
    cmdLogOn->setAutoDefault(false);
    cmdLogOn->setDefault(false);
    Twips::place(cmdLogOn, 1650, 2280, 1215, 495);

    Label1 = new QLabel(QStringLiteral("User"), client);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setBuddy(txtUser);
    Twips::place(Label1, 600, 600, 375, 255);

    Label2 = new QLabel(QStringLiteral("PassWord"), client);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setBuddy(txtPassword);
    Twips::place(Label2, 240, 1080, 855, 255);
    Twips::fitLeft(Label1);
    Twips::fitLeft(Label2);

    txtUser->setAccessibleName(QStringLiteral("User"));
    txtPassword->setAccessibleName(QStringLiteral("PassWord"));
    // A context menu would take the keyboard for itself while it is open.
    txtUser->setContextMenuPolicy(Qt::PreventContextMenu);
    txtPassword->setContextMenuPolicy(Qt::PreventContextMenu);

    Image1 = new QLabel(client);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setPixmap(AppIcon::icon().pixmap(48, 48));
    Image1->setScaledContents(true);
    Image1->setAccessibleName(QStringLiteral("TimoraDesk"));
    Twips::place(Image1, 3885, 195, 1170, 1365);

    QWidget::setTabOrder(txtUser, txtPassword);
    QWidget::setTabOrder(txtPassword, cmdLogOn);

    // The foreground guard's tick; the window sets its pace and starts it.
    Timer1 = new QTimer(window);
    Timer1->setObjectName(QStringLiteral("Timer1"));

    window->setFixedSize(window->sizeHint());
}
