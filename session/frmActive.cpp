#include "frmActive.h"

#include "core/rules/AccountTable.h"
#include "core/rules/AppError.h"
#include "core/rules/RemainingShare.h"
#include "core/services/ClockChangeSource.h"
#include "core/services/Disabler.h"
#include "core/services/MessageBoxes.h"
#include "core/services/ProgramStarter.h"
#include "core/services/Services.h"
#include "core/services/TerminationWatch.h"
#include "core/services/Today.h"
#include "core/services/TrayIcon.h"
#include "core/widgets/ProgressBar.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

namespace {

constexpr int MinuteMs = 60000;

const QString TrayTipPrefix = QStringLiteral("Minutes Remaining:");
const QString WarningText = QStringLiteral("Warning, 5 minutes remaining");
const QString PenaltyText = QStringLiteral("Tsk Tsk Tsk.... You have attempted to circumvent this "
                                           "program. You now have no time remaining!");
const QString NoPasswordText = QStringLiteral("Error: You did not specify a new password");

} // namespace

frmActive::frmActive(const Services &services)
    : Disable1(services.disabler()), m_services(services),
      m_countdown(*services.accounts, services.deadline, sessionEnd())
{
    setupUi(this);

    Timer1->setInterval(MinuteMs);
    connect(Timer1, &QTimer::timeout, this, &frmActive::Timer1_Timer);

    tray1 = m_services.trayIcon(this);
    if (tray1) {
        tray1->setObjectName(QStringLiteral("tray1"));
        tray1->setInTray(false);
        // Queued: the icon is taken out of the tray by the handler, which must not happen
        // while the icon is still delivering its own press (Qt deletes it under its feet).
        connect(tray1, &TrayIcon::MouseDown, this, &frmActive::tray1_MouseDown,
                Qt::QueuedConnection);
    }
    SysInfo1 = m_services.clockChangeSource(this);
    if (SysInfo1) {
        SysInfo1->setObjectName(QStringLiteral("SysInfo1"));
        connect(SysInfo1, &ClockChangeSource::TimeChanged, this, &frmActive::SysInfo1_TimeChanged);
    }

    connect(cmdLogOff, &QPushButton::clicked, this, &frmActive::cmdLogoff_Click);
    connect(cmdMinimize, &QPushButton::clicked, this, &frmActive::cmdMinimize_Click);
    connect(cmdNewPsw, &QPushButton::clicked, this, &frmActive::cmdNewPsw_Click);
    connect(cmdSavePsw, &QPushButton::clicked, this, &frmActive::cmdSavePsw_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmActive::cmdCancel_Click);
    // The deadline asks for the same power action as the session end would.
    connect(optReStart, &QRadioButton::toggled, this,
            [this](bool restart) { m_countdown.setRestart(restart); });
}

frmActive::~frmActive()
{
    if (m_services.termination)
        m_services.termination->remove(this);
}

void frmActive::Show()
{
    // A window whose load failed has already asked for the program's end.
    if (m_loaded)
        show();
}

void frmActive::Form_Load()
{
    try {
        const AccountTable &table = *m_services.accounts;
        txtUser->setText(table.loggedOnSlot().userId);
        Timer1->start();
        txtTime->setText(QString::number(table.grantedMinutes()));
        setWindowState(windowState() & ~Qt::WindowMinimized);
        m_loaded = true;
        // From here on the store keeps 0 minutes left for this account whatever is saved; only
        // the session end stores the remainder, also when the program is told to end. Should
        // this thread be held up past the last minute, the deadline still ends the session.
        m_countdown.start(table.grantedMinutes(), optReStart->isChecked());
        if (m_services.termination)
            m_services.termination->add(this, [this] { endBySignal(); });
    } catch (const AppError &error) {
        Timer1->stop();
        m_services.messages->show(error.text());
        m_services.starter->start(QCoreApplication::applicationFilePath());
        emit ended();
        return;
    }
}

SessionEnd frmActive::sessionEnd()
{
    // The session's end reports a remainder it could not store, and goes on.
    SessionEnd end = m_services.sessionEnd(Disable1.get());
    end.storeFailed = [this](const AppError &error) {
        reportError(error);
    };
    return end;
}

void frmActive::refreshDisplay()
{
    const qint32 minutes = m_countdown.minutes();
    if (tray1)
        tray1->setTrayTip(TrayTipPrefix + QString::number(minutes));
    pb1->setPercent(RemainingShare::percent(minutes, m_services.accounts->loggedOnAllowance()));
}

void frmActive::Timer1_Timer()
{
    Timer1->stop();
    const SessionCountdown::Tick tick = m_countdown.tick();
    txtTime->setText(QString::number(m_countdown.minutes()));
    refreshDisplay();
    // The countdown goes on behind the box: the session ends at zero whether it is closed or not.
    if (tick == SessionCountdown::Tick::Warn)
        m_services.messages->showWithoutWaiting(WarningText, MessageBoxes::Modality::System);
    if (tick != SessionCountdown::Tick::End) {
        Timer1->start();
        return;
    }
    cmdLogoff_Click();
}

void frmActive::SysInfo1_TimeChanged()
{
    // One penalty per session: a further change while the box is open adds nothing.
    if (!m_countdown.clockChanged())
        return;
    // The box does not hold the session back: the day's time is gone and the session ends now.
    m_services.messages->showWithoutWaiting(PenaltyText, MessageBoxes::Modality::System);
    cmdLogoff_Click();
}

void frmActive::reportError(const AppError &error)
{
    m_services.messages->showWithoutWaiting(error.errorText());
}

void frmActive::endBySignal()
{
    // The machine is already going down or the session is being closed: the remainder is
    // stored and nothing more is asked for.
    if (m_countdown.endBySignal(m_services.today->text()))
        Timer1->stop();
}

void frmActive::cmdLogoff_Click()
{
    // The session ends once, even when a second way out was already under way (a clock change
    // while the warning box is open): stored, the launcher told, the power action asked for.
    Timer1->stop();
    if (m_countdown.endSession(m_services.today->text(), optReStart->isChecked()))
        emit ended();
}

void frmActive::Form_Unload()
{
    cmdLogoff_Click();
}

void frmActive::cmdMinimize_Click()
{
    setWindowState(windowState() | Qt::WindowMinimized);
}

void frmActive::Form_Resize()
{
    refreshDisplay();
    const Qt::WindowStates state = windowState();
    if (!(state & (Qt::WindowMinimized | Qt::WindowMaximized))) {
        if (!isVisible())
            show();
        if (tray1)
            tray1->setInTray(false);
    }
    if (state & Qt::WindowMinimized) {
        const bool trayAvailable = tray1 && tray1->available();
        if (trayAvailable)
            tray1->setInTray(true);
        // Back to the normal state while the window is still on the desktop: a window system
        // may put a hidden window on screen again when its state changes (X11 does).
        // Without a tray to come back from, the window simply stays on screen.
        m_restoringState = trayAvailable;
        setWindowState(state & ~Qt::WindowMinimized);
        m_restoringState = false;
        if (trayAvailable)
            hide();
    }
}

void frmActive::tray1_MouseDown()
{
    // The window system may have reported the hidden window minimised meanwhile.
    if (windowState() & Qt::WindowMinimized) {
        m_restoringState = true;
        setWindowState(windowState() & ~Qt::WindowMinimized);
        m_restoringState = false;
    }
    show();
    if (tray1)
        tray1->setInTray(false);
    raise();
    activateWindow();
}

void frmActive::cmdNewPsw_Click()
{
    frmPswChg->show();
    txtNewpsw->setFocus();
}

void frmActive::cmdCancel_Click()
{
    frmPswChg->hide();
}

void frmActive::cmdSavePsw_Click()
{
    if (txtNewpsw->text().isEmpty()) {
        m_services.messages->showWithoutWaiting(NoPasswordText);
        return;
    }
    try {
        // Only the password: the minutes left stay 0 in the store until the session end.
        m_services.accounts->changePassword(txtNewpsw->text());
    } catch (const AppError &error) {
        reportError(error);
    }
    frmPswChg->hide();
}

void frmActive::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    // While the window is hidden in the tray, the window system's late reports on its state
    // are left alone: the state is settled when the icon brings the window back.
    if (event->type() == QEvent::WindowStateChange && !m_restoringState && isVisible())
        Form_Resize();
}

void frmActive::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!m_shownOnce) {
        m_shownOnce = true;
        Form_Resize();
    }
}

void frmActive::closeEvent(QCloseEvent *event)
{
    // Closing the window by any means is logging off; it is never refused.
    Form_Unload();
    event->accept();
}
