#include "frmLogon.h"

#include "core/rules/AccountTable.h"
#include "core/services/Disabler.h"
#include "core/services/ForegroundGuard.h"
#include "core/services/MessageBoxes.h"
#include "core/services/Services.h"
#include "core/services/Today.h"
#include "core/widgets/FirstFrame.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

namespace {

constexpr int GuardIntervalMs = 2000;
// How long the boxes take no input after a wrong user id or password.
constexpr int RefusalWaitMs = 2000;
// Shown in the empty user id box while another program holds the keyboard.
const QString KeyboardTakenText = QStringLiteral("Another program holds the keyboard");

} // namespace

frmLogon::frmLogon(const Services &services) : m_services(services)
{
    setupUi(this);

    Timer1->setInterval(GuardIntervalMs);
    connect(Timer1, &QTimer::timeout, this, &frmLogon::Timer1_Timer);
    Timer1->start();

    Disable1 = m_services.disabler();
    if (Disable1)
        Disable1->whenKeyboardChanges([this] { keyboardChanged(); });

    m_refusalWait.setSingleShot(true);
    m_refusalWait.setInterval(RefusalWaitMs);
    connect(&m_refusalWait, &QTimer::timeout, this, [this] {
        if (keyboardTaken())
            return;
        setInputEnabled(true);
        txtUser->setFocus();
    });

    connect(cmdLogOn, &QPushButton::clicked, this, &frmLogon::cmdLogOn_Click);
    connect(mnuAbout, &QAction::triggered, this, &frmLogon::mnuAbout_Click);
    connect(cmdExit, &QAction::triggered, this, &frmLogon::cmdExit_Click);
}

frmLogon::~frmLogon() = default;

void frmLogon::Form_Load()
{
    m_services.accounts->LoadAccounts();
}

void frmLogon::refuse(const QString &text)
{
    m_services.messages->show(text);
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

bool frmLogon::keyboardTaken() const
{
    return Disable1 && Disable1->keyboardTaken();
}

void frmLogon::keyboardChanged()
{
    if (keyboardTaken()) {
        // What was typed may have gone to the other program, and what is typed now goes there.
        txtUser->clear();
        txtPassword->clear();
        txtUser->setPlaceholderText(KeyboardTakenText);
        setInputEnabled(false);
        return;
    }
    txtUser->setPlaceholderText(QString());
    if (m_refusalWait.isActive())
        return;
    setInputEnabled(true);
    txtUser->setFocus();
}

void frmLogon::cmdLogOn_Click()
{
    // Nothing is accepted while the keys typed at the window may reach another program.
    if (keyboardTaken())
        return;
    if (txtUser->text().isEmpty()) {
        txtUser->setFocus();
        return;
    }
    if (txtPassword->text().isEmpty()) {
        txtPassword->setFocus();
        return;
    }
    // The table compares in upper case; the boxes show what it compares.
    const QString user = txtUser->text();
    const QString password = txtPassword->text();
    txtUser->setText(user.toUpper());
    txtPassword->setText(password.toUpper());

    const Logon logOn = m_services.accounts->logOn(user, password, m_services.today->text());
    switch (logOn.outcome) {
    case Logon::Invalid:
        // The wait runs from the refusal on, while the box is open too.
        holdInputAfterRefusal();
        m_services.messages->show(logOn.refusal);
        txtPassword->clear();
        if (txtUser->isEnabled())
            txtUser->setFocus();
        return;
    case Logon::StoreRefused:
    case Logon::Disabled:
    case Logon::NoTimeLeft:
    case Logon::CannotSave:
        refuse(logOn.refusal);
        return;
    case Logon::LoggedOn:
        break;
    }

    Timer1->stop();
    if (logOn.saveError)
        m_services.messages->show(logOn.saveError->errorText());

    setWindowState(Qt::WindowMinimized);
    hide();
    txtUser->clear();
    txtPassword->clear();

    emit loggedOn(logOn.grant);
}

void frmLogon::mnuAbout_Click()
{
    emit aboutWanted();
}

void frmLogon::cmdExit_Click()
{
    close();
}

void frmLogon::Timer1_Timer()
{
    Timer1->stop();
    // Any window in front whose title is not allowed is asked to close.
    if (WindowSystem *windows = m_services.windowSystem) {
        if (!m_guard || !m_guard->watches(*windows))
            m_guard = std::make_unique<ForegroundGuard>(*windows);
        // Nothing of another program may lie over the window.
        m_guard->guard(isVisible() ? internalWinId() : WindowSystem::NoWindow);
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
    if (!Disable1 || Disable1->shutDown())
        return true;
    // The machine stays up, so the logon window stays too, and guards it as before.
    m_unloaded = false;
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
        txtUser->setFocus();
        // On a kiosk the logon window stands alone, as a display manager's greeter does: no
        // window manager places it or gives it the keyboard, so it goes to the middle of the
        // screen and asks for the keyboard focus itself.
        if (const QScreen *screen = QGuiApplication::primaryScreen()) {
            QRect frame = frameGeometry();
            frame.moveCenter(screen->availableGeometry().center());
            move(frame.topLeft());
        }
        activateWindow();
        // The switches come on the moment the first frame is on the screen, not before: turning
        // them on makes the X server, the window manager and this program reload the keyboard
        // map, which would hold up the frame. A window put away or closed meanwhile has set its
        // switches itself.
        FirstFrame::after(this, [this] {
            if (isVisible() && !m_unloaded)
                Form_Resize();
        });
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
    emit unloaded();
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
}
