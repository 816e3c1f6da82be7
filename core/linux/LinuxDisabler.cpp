#include "LinuxDisabler.h"

#include "TerminationSignals.h"

namespace {

const char *facilityName(LinuxDisabler::Facility facility)
{
    switch (facility) {
    case LinuxDisabler::KeyboardGrab:
        return "the keyboard grab";
    case LinuxDisabler::ServerKeys:
        return "turning off the X server's own keys";
    case LinuxDisabler::PowerKeys:
        return "holding the power keys and the lid switch";
    case LinuxDisabler::Sleep:
        return "holding off sleep";
    case LinuxDisabler::ScreenSaver:
        return "suspending the screen saver";
    case LinuxDisabler::FacilityCount:
        break;
    }
    return "";
}

} // namespace

LinuxDisabler::LinuxDisabler(std::unique_ptr<PowerBackend> power, std::FILE *announce)
    : m_power(std::move(power)), m_announce(announce)
{
    m_settle.setTimerType(Qt::PreciseTimer);
    m_settle.setInterval(1);
    QObject::connect(&m_settle, &QTimer::timeout, [this] { settle(); });
    m_retry.setSingleShot(true);
    m_retry.setInterval(RetryIntervalMs);
    QObject::connect(&m_retry, &QTimer::timeout, [this] {
        if (m_on && m_grab.request() != X11KeyboardGrab::Result::Unavailable)
            m_settle.start();
    });
    m_retake.setSingleShot(true);
    QObject::connect(&m_retake, &QTimer::timeout, [this] { retakeGrab(); });
    m_grab.whenLost([this] { retakeGrab(); });
    // A keyboard that was plugged in, or a new keyboard map, brings the server's keys back.
    m_serverKeys.whenMapChanges([this] {
        if (!m_on)
            return;
        if (m_serverKeys.requestTurnOff())
            m_settle.start();
        else
            report(ServerKeys, m_serverKeys.errorText());
    });
    // The keyboard map is the one thing the X server does not put back by itself when the
    // program goes away, so an end by signal turns the switches off first.
    TerminationSignals::add(this, [this] {
        if (m_on)
            turnOff();
    });
}

LinuxDisabler::~LinuxDisabler()
{
    TerminationSignals::remove(this);
    if (m_on)
        turnOff();
}

void LinuxDisabler::setSwitches(bool on)
{
    say(on ? "switches on" : "switches off");
    m_on = on;
    if (on)
        turnOn();
    else
        turnOff();
}

void LinuxDisabler::turnOn()
{
    if (m_grab.request() == X11KeyboardGrab::Result::Unavailable)
        report(KeyboardGrab, m_grab.errorText());
    if (!m_serverKeys.requestTurnOff())
        report(ServerKeys, m_serverKeys.errorText());
    if (!m_power->hold(PowerBackend::Hold::PowerKeys))
        report(PowerKeys, m_power->errorText());
    if (!m_power->hold(PowerBackend::Hold::Sleep))
        report(Sleep, m_power->errorText());
    if (!m_screenSaver.suspend())
        report(ScreenSaver, m_screenSaver.errorText());
    m_settle.start();
}

void LinuxDisabler::turnOff()
{
    m_settle.stop();
    m_retry.stop();
    m_retake.stop();
    m_grab.release();
    setKeyboardTaken(false);
    if (!m_serverKeys.turnOn())
        report(ServerKeys, m_serverKeys.errorText());
    m_power->release(PowerBackend::Hold::PowerKeys);
    m_power->release(PowerBackend::Hold::Sleep);
    m_screenSaver.resume();
}

void LinuxDisabler::settle()
{
    bool due = false;
    switch (m_grab.poll(false)) {
    case X11KeyboardGrab::Result::Pending:
        due = true;
        break;
    case X11KeyboardGrab::Result::Busy:
        // Someone else holds the keyboard just now.
        if (m_on) {
            setKeyboardTaken(true);
            if (!m_retry.isActive())
                m_retry.start();
        }
        break;
    case X11KeyboardGrab::Result::Unavailable:
        report(KeyboardGrab, m_grab.errorText());
        break;
    case X11KeyboardGrab::Result::Taken:
        setKeyboardTaken(false);
        break;
    }
    switch (m_serverKeys.poll()) {
    case X11ServerKeys::Progress::Pending:
        due = true;
        break;
    case X11ServerKeys::Progress::Failed:
        report(ServerKeys, m_serverKeys.errorText());
        break;
    case X11ServerKeys::Progress::Done:
        break;
    }
    switch (m_screenSaver.poll()) {
    case X11ScreenSaver::Progress::Pending:
        due = true;
        break;
    case X11ScreenSaver::Progress::Failed:
        report(ScreenSaver, m_screenSaver.errorText());
        break;
    case X11ScreenSaver::Progress::Done:
        break;
    }
    if (!due)
        m_settle.stop();
}

void LinuxDisabler::retakeGrab()
{
    if (!m_on)
        return;
    switch (m_grab.take()) {
    case X11KeyboardGrab::Result::Taken:
        setKeyboardTaken(false);
        break;
    case X11KeyboardGrab::Result::Busy: {
        const bool first = !m_keyboardTaken;
        setKeyboardTaken(true);
        // At once the first time, then at short intervals while someone else holds it.
        m_retake.start(first ? 0 : RetakeIntervalMs);
        break;
    }
    case X11KeyboardGrab::Result::Pending:
    case X11KeyboardGrab::Result::Unavailable:
        report(KeyboardGrab, m_grab.errorText());
        break;
    }
}

void LinuxDisabler::whenKeyboardChanges(std::function<void()> callback)
{
    m_keyboardChanged = std::move(callback);
}

void LinuxDisabler::setKeyboardTaken(bool taken)
{
    if (taken == m_keyboardTaken)
        return;
    m_keyboardTaken = taken;
    if (taken)
        std::fprintf(stderr,
                     "TimoraDesk: another program holds the keyboard (%s); the logon "
                     "takes no input until the keyboard is free\n",
                     qPrintable(m_grab.errorText()));
    else if (m_on)
        std::fprintf(stderr, "TimoraDesk: the keyboard is free again\n");
    if (m_keyboardChanged)
        m_keyboardChanged();
}

bool LinuxDisabler::isActive(Facility facility)
{
    switch (facility) {
    case KeyboardGrab:
        return m_grab.held();
    case ServerKeys:
        return m_serverKeys.finishTurnOff() && m_serverKeys.isOff();
    case PowerKeys:
        return m_power->isHeld(PowerBackend::Hold::PowerKeys);
    case Sleep:
        return m_power->isHeld(PowerBackend::Hold::Sleep);
    case ScreenSaver:
        return m_screenSaver.suspended();
    case FacilityCount:
        break;
    }
    return false;
}

bool LinuxDisabler::restart()
{
    if (m_power->reboot())
        return true;
    std::fprintf(stderr, "TimoraDesk: the restart failed: %s\n", qPrintable(m_power->errorText()));
    return false;
}

bool LinuxDisabler::shutDown()
{
    if (m_power->powerOff())
        return true;
    std::fprintf(stderr, "TimoraDesk: the shut-down failed: %s\n",
                 qPrintable(m_power->errorText()));
    return false;
}

void LinuxDisabler::report(Facility facility, const QString &why)
{
    if (m_reported[facility])
        return;
    m_reported[facility] = true;
    std::fprintf(stderr, "TimoraDesk: %s is not available (%s); going on without it\n",
                 facilityName(facility), qPrintable(why));
}

void LinuxDisabler::say(const char *line)
{
    if (!m_announce)
        return;
    std::fprintf(m_announce, "%s\n", line);
    std::fflush(m_announce);
}
