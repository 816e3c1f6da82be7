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

LinuxDisabler::LinuxDisabler(std::unique_ptr<PowerBackend> power, std::FILE *announce,
                             const QByteArray &displayName)
    : m_power(std::move(power)), m_announce(announce), m_serverKeys(displayName),
      m_screenSaver(displayName)
{
    m_refresh.setInterval(RefreshIntervalMs);
    QObject::connect(&m_refresh, &QTimer::timeout, [this] { refresh(); });
    m_retake.setSingleShot(true);
    QObject::connect(&m_retake, &QTimer::timeout, [this] { retakeGrab(); });
    m_grab.whenPopupsClose([this] { retakeGrab(); });
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
    if (m_grab.take() == X11KeyboardGrab::Result::Unavailable)
        report(KeyboardGrab, m_grab.errorText());
    if (!m_serverKeys.turnOff())
        report(ServerKeys, m_serverKeys.errorText());
    if (!m_power->hold(PowerBackend::Hold::PowerKeys))
        report(PowerKeys, m_power->errorText());
    if (!m_power->hold(PowerBackend::Hold::Sleep))
        report(Sleep, m_power->errorText());
    if (!m_screenSaver.suspend())
        report(ScreenSaver, m_screenSaver.errorText());
    m_refresh.start();
}

void LinuxDisabler::turnOff()
{
    m_refresh.stop();
    m_retake.stop();
    m_grabLostReported = false;
    m_grab.release();
    if (!m_serverKeys.turnOn())
        report(ServerKeys, m_serverKeys.errorText());
    m_power->release(PowerBackend::Hold::PowerKeys);
    m_power->release(PowerBackend::Hold::Sleep);
    m_screenSaver.resume();
}

void LinuxDisabler::refresh()
{
    if (!m_on)
        return;
    if (m_grab.take() == X11KeyboardGrab::Result::Unavailable)
        report(KeyboardGrab, m_grab.errorText());
    // A keyboard that was plugged in, or a new keyboard map, brings the server's keys back.
    if (m_serverKeys.actionsInMap() > 0 && !m_serverKeys.turnOff())
        report(ServerKeys, m_serverKeys.errorText());
}

void LinuxDisabler::retakeGrab()
{
    if (!m_on)
        return;
    switch (m_grab.take()) {
    case X11KeyboardGrab::Result::Taken:
        if (m_grabLostReported)
            std::fprintf(stderr, "TimoraDesk: the keyboard is taken back\n");
        m_grabLostReported = false;
        break;
    case X11KeyboardGrab::Result::Busy: {
        const bool first = !m_grabLostReported;
        if (first)
            std::fprintf(stderr,
                         "TimoraDesk: the keyboard grab could not be taken back after a pop-up "
                         "closed (%s); trying again\n",
                         qPrintable(m_grab.errorText()));
        m_grabLostReported = true;
        // At once the first time, then at short intervals while someone else holds it.
        m_retake.start(first ? 0 : RetakeIntervalMs);
        break;
    }
    case X11KeyboardGrab::Result::Unavailable:
        report(KeyboardGrab, m_grab.errorText());
        break;
    }
}

bool LinuxDisabler::isActive(Facility facility) const
{
    switch (facility) {
    case KeyboardGrab:
        return m_grab.held();
    case ServerKeys:
        return m_serverKeys.isOff();
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

void LinuxDisabler::restart()
{
    if (!m_power->reboot())
        std::fprintf(stderr, "TimoraDesk: the restart failed: %s\n",
                     qPrintable(m_power->errorText()));
}

void LinuxDisabler::shutDown()
{
    if (!m_power->powerOff())
        std::fprintf(stderr, "TimoraDesk: the shut-down failed: %s\n",
                     qPrintable(m_power->errorText()));
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
