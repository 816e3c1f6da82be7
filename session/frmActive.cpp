#include "frmActive.h"

#include "core/rules/AccountTable.h"
#include "core/rules/AppError.h"
#include "core/rules/RemainingShare.h"
#include "core/services/ClockChangeSource.h"
#include "core/services/Disabler.h"
#include "core/services/MessageBoxes.h"
#include "core/services/Services.h"
#include "core/services/TerminationWatch.h"
#include "core/services/Today.h"
#include "core/services/TrayIcon.h"
#include "core/widgets/ProgressBar.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

namespace {

const QString TrayTipPrefix = QStringLiteral("Minutes Remaining:");
const QString WarningText = QStringLiteral("Warning, 5 minutes remaining");
const QString PenaltyText = QStringLiteral("Tsk Tsk Tsk.... You have attempted to circumvent this "
                                           "program. You now have no time remaining!");
const QString NoPasswordText = QStringLiteral("Error: You did not specify a new password");

} // namespace

frmActive::frmActive(const Services &services, const SessionGrant &grant)
    : Disable1(services.disabler()), m_services(services),
      m_session(new Session(*services.accounts, grant, sessionEnd(), services.deadline, this))
{
    setupUi(this);

    // The session keeps its own clock; the window only shows what each minute brings.
    Timer1 = m_session->minuteTimer();
    connect(m_session, &Session::counted, this, [this](qint32 minutes) {
        txtTime->setText(QString::number(minutes));
        refreshDisplay();
    });
    connect(m_session, &Session::warning, this, [this] {
        m_services.messages->showWithoutWaiting(WarningText, MessageBoxes::Modality::System);
    });
    connect(m_session, &Session::penalised, this, [this] {
        m_services.messages->showWithoutWaiting(PenaltyText, MessageBoxes::Modality::System);
    });
    connect(m_session, &Session::handedOver, this, &frmActive::ended);

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
    connect(optReStart, &QRadioButton::toggled, m_session, &Session::setRestart);
}

frmActive::~frmActive()
{
    if (m_services.termination)
        m_services.termination->remove(this);
}

void frmActive::Show()
{
    // Shown once its session runs.
    if (m_loaded)
        show();
}

void frmActive::Form_Load()
{
    txtUser->setText(m_session->grant().userId);
    txtTime->setText(QString::number(m_session->minutes()));
    setWindowState(windowState() & ~Qt::WindowMinimized);
    m_loaded = true;
    // The store has kept 0 minutes left for this account since the logon, whatever is saved;
    // only the session's end stores the remainder, also when the program is told to end. Should
    // this thread be held up past the last minute, the deadline still ends the session.
    m_session->start(optReStart->isChecked());
    if (m_services.termination)
        m_services.termination->add(this, [this] { m_session->endBySignal(); });
}

SessionEnd frmActive::sessionEnd()
{
    // The session's end reports a remainder it could not store, and goes on.
    SessionEnd end = m_services.sessionEnd(Disable1.get());
    // Made before the window's controls: nothing here may touch them until the session ends.
    end.storeFailed = [this](const AppError &error) {
        reportError(error);
    };
    return end;
}

void frmActive::refreshDisplay()
{
    const qint32 minutes = m_session->minutes();
    if (tray1)
        tray1->setTrayTip(TrayTipPrefix + QString::number(minutes));
    pb1->setPercent(RemainingShare::percent(minutes, m_session->grant().minsPerDay));
}

void frmActive::Timer1_Timer()
{
    m_session->tick();
}

void frmActive::SysInfo1_TimeChanged()
{
    // One penalty per session: a further change while the box is open adds nothing.
    m_session->clockChanged();
}

void frmActive::reportError(const AppError &error)
{
    m_services.messages->showWithoutWaiting(error.errorText());
}

void frmActive::cmdLogoff_Click()
{
    // The session ends once, even when a second way out was already under way (a clock change
    // while the warning box is open): stored, the launcher told, the power action asked for.
    m_session->end();
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
        m_services.accounts->changePassword(m_session->grant(), txtNewpsw->text());
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
