#include "frmLogon.h"

#include "about/frmAbout.h"
#include "admin/frmAdmin.h"
#include "core/AppError.h"
#include "core/Disabler.h"
#include "core/ForegroundGuard.h"
#include "core/MessageBoxes.h"
#include "core/Module1.h"
#include "core/ProgramEnd.h"
#include "core/Services.h"
#include "core/Twips.h"
#include "session/frmActive.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace {

QPointer<frmLogon> s_instance;

constexpr int GuardIntervalMs = 2000;
// How long the boxes take no input after a wrong user id or password.
constexpr int RefusalWaitMs = 2000;

const QString StoreRefusedText =
    QStringLiteral("Sorry, the settings file is not safe to use. See your administrator");

} // namespace

frmLogon &frmLogon::instance()
{
    if (!s_instance) {
        s_instance = new frmLogon();
        s_instance->Form_Load();
    }
    return *s_instance;
}

bool frmLogon::exists()
{
    return !s_instance.isNull();
}

void frmLogon::release()
{
    if (s_instance) {
        if (services().logon == s_instance.data())
            services().logon = nullptr;
        s_instance->deleteLater();
    }
    s_instance = nullptr;
}

frmLogon::frmLogon()
{
    setObjectName(QStringLiteral("frmLogon"));
    setWindowTitle(QStringLiteral("System Logon"));
    // A fixed-size tool window: small caption, no minimise, maximise or close box.
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setWindowIcon(Services::appIcon());
    setAttribute(Qt::WA_QuitOnClose, false);

    menuBar = new QMenuBar(this);
    menuBar->setObjectName(QStringLiteral("menuBar"));
    mnuAbout = menuBar->addAction(QStringLiteral("&About"));
    mnuAbout->setObjectName(QStringLiteral("mnuAbout"));
    cmdExit = menuBar->addAction(QStringLiteral("E&xit"));
    cmdExit->setObjectName(QStringLiteral("cmdExit"));

    auto *client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    client->setFixedSize(Twips::size(5445, 3195));
    auto *layout = new QVBoxLayout(this);
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
    Image1->setPixmap(Services::appIcon().pixmap(48, 48));
    Image1->setScaledContents(true);
    Image1->setAccessibleName(QStringLiteral("TimoraDesk"));
    Twips::place(Image1, 3885, 195, 1170, 1365);

    setTabOrder(txtUser, txtPassword);
    setTabOrder(txtPassword, cmdLogOn);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(GuardIntervalMs);
    connect(Timer1, &QTimer::timeout, this, &frmLogon::Timer1_Timer);
    Timer1->start();

    Disable1 = services().makeDisabler();

    m_refusalWait.setSingleShot(true);
    m_refusalWait.setInterval(RefusalWaitMs);
    connect(&m_refusalWait, &QTimer::timeout, this, [this] {
        setInputEnabled(true);
        txtUser->setFocus();
    });

    connect(cmdLogOn, &QPushButton::clicked, this, &frmLogon::cmdLogOn_Click);
    connect(mnuAbout, &QAction::triggered, this, &frmLogon::mnuAbout_Click);
    connect(cmdExit, &QAction::triggered, this, &frmLogon::cmdExit_Click);

    setFixedSize(sizeHint());
    services().logon = this;
}

frmLogon::~frmLogon()
{
    if (services().logon == this)
        services().logon = nullptr;
}

void frmLogon::Form_Load()
{
    module1().LoadAccounts();
}

void frmLogon::refuse(const QString &text)
{
    services().messages->show(text);
    txtUser->clear();
    txtPassword->clear();
    txtUser->setFocus();
}

void frmLogon::setInputEnabled(bool enabled)
{
    txtUser->setEnabled(enabled);
    txtPassword->setEnabled(enabled);
    cmdLogOn->setEnabled(enabled);
}

void frmLogon::holdInputAfterRefusal()
{
    setInputEnabled(false);
    m_refusalWait.start();
}

void frmLogon::cmdLogOn_Click()
{
    if (txtUser->text().isEmpty()) {
        txtUser->setFocus();
        return;
    }
    if (txtPassword->text().isEmpty()) {
        txtPassword->setFocus();
        return;
    }
    txtUser->setText(txtUser->text().toUpper());
    txtPassword->setText(txtPassword->text().toUpper());

    Module1 &table = module1();
    // A settings file that others could have changed is not used; it is looked at again at
    // every logon, so that the logon works again as soon as the file is mended.
    if (!table.storeRefused().isEmpty()) {
        table.LoadAccounts();
        if (!table.storeRefused().isEmpty()) {
            refuse(StoreRefusedText);
            return;
        }
    }
    int match = 0;
    for (int i = 1; i <= table.accountCount && i <= Module1::MaxAccounts; ++i) {
        if (txtUser->text() == table.accounts[i].userId &&
            txtPassword->text() == table.accounts[i].password) {
            match = i;
            break;
        }
    }
    if (match == 0) {
        // The wait runs from the refusal on, while the box is open too.
        holdInputAfterRefusal();
        services().messages->show(QStringLiteral("Invalid UserId/Password"));
        txtPassword->clear();
        if (txtUser->isEnabled())
            txtUser->setFocus();
        return;
    }

    table.loggedOnIndex = static_cast<qint16>(match);
    AccountSlot &slot = table.accounts[match];
    const bool isAdministrator = slot.userId == Module1::AdminId;

    // An allowance of 0 minutes a day disables the account; the administrator is never
    // locked out this way, since its time is not counted.
    if (slot.minsPerDay == 0 && !isAdministrator) {
        refuse(QStringLiteral("Sorry, your UserID has been disabled. See your administrator"));
        return;
    }

    const QString today = services().todayText();
    if (today == slot.lastDate) {
        if (slot.minsLeft == 0) {
            refuse(QStringLiteral("Sorry, no time left today"));
            return;
        }
        slot.lastDate = today;
        table.sessionMinutes = slot.minsLeft;
        slot.minsLeft = 0;
    } else {
        slot.minsLeft = 0;
        table.sessionMinutes = slot.minsPerDay;
        slot.lastDate = today;
    }
    if (isAdministrator)
        slot.minsLeft = -1;

    Timer1->stop();
    try {
        table.SaveAccounts();
    } catch (const AppError &error) {
        services().messages->show(QStringLiteral("Error ") + QString::number(error.number()) +
                                  QLatin1Char(' ') + error.description());
    }

    setWindowState(Qt::WindowMinimized);
    hide();
    txtUser->clear();
    txtPassword->clear();

    if (isAdministrator)
        frmAdmin::instance().Show();
    else
        frmActive::instance().Show();
}

void frmLogon::mnuAbout_Click()
{
    frmAbout::instance().Show();
}

void frmLogon::cmdExit_Click()
{
    close();
}

void frmLogon::Timer1_Timer()
{
    Timer1->stop();
    // Any window in front whose title is not allowed is asked to close.
    if (WindowSystem *windows = services().windowSystem) {
        if (!m_guard || !m_guard->watches(*windows))
            m_guard = std::make_unique<ForegroundGuard>(*windows);
        m_guard->tick();
    }
    Timer1->start();
}

void frmLogon::Form_Resize()
{
    const Qt::WindowStates state = windowState();
    const bool normal = !(state & (Qt::WindowMinimized | Qt::WindowMaximized));
    if (Disable1)
        Disable1->setSwitches(normal);
    txtUser->setFocus();
}

bool frmLogon::Form_Unload()
{
    if (m_unloaded)
        return true;
    m_unloaded = true;
    Timer1->stop();
    if (Disable1)
        Disable1->setSwitches(false);
    if (s_instance == this)
        s_instance = nullptr;
    if (services().logon == this)
        services().logon = nullptr;
    if (!Disable1 || Disable1->shutDown())
        return true;
    // The machine stays up, so the logon window stays too, and guards it as before.
    m_unloaded = false;
    s_instance = this;
    services().logon = this;
    Timer1->start();
    Form_Resize();
    return false;
}

void frmLogon::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange) {
        Form_Resize();
        // While the window waits for a logon it is never put away: the window manager's title
        // bar may offer to minimise it anyway, and then it comes straight back.
        if (isPutAwayWhileWaiting())
            QTimer::singleShot(0, this, [this] {
                if (!isPutAwayWhileWaiting())
                    return;
                setWindowState(windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized));
                raise();
                activateWindow();
            });
    }
}

bool frmLogon::isPutAwayWhileWaiting() const
{
    return isVisible() && Timer1->isActive() &&
           (windowState() & (Qt::WindowMinimized | Qt::WindowMaximized));
}

void frmLogon::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!m_shownOnce) {
        m_shownOnce = true;
        Form_Resize();
    }
}

void frmLogon::closeEvent(QCloseEvent *event)
{
    if (!Form_Unload()) {
        event->ignore();
        raise();
        activateWindow();
        return;
    }
    event->accept();
    deleteLater();
    // The program ends with the logon window; an open About window goes with it.
    services().programEnd->endNow();
}

void frmLogon::bringBack()
{
    // Back in the middle of the screen, wherever the window manager put it last time.
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    setVisible(true);
    Timer1->start();
    setWindowState(Qt::WindowNoState);
    module1().loggedOnIndex = 0;
}

void frmLogon::forget()
{
    if (s_instance == this)
        s_instance = nullptr;
    if (services().logon == this)
        services().logon = nullptr;
}
