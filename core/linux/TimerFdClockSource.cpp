#include "TimerFdClockSource.h"

#include <QSocketNotifier>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <sys/timerfd.h>
#include <unistd.h>

namespace {

constexpr qint64 NsPerSecond = 1'000'000'000;
// Far enough ahead never to expire in a session, near enough to stay inside the kernel's range.
constexpr qint64 AheadSeconds = qint64(100) * 366 * 24 * 3600;

qint64 nowNs(clockid_t clock)
{
    timespec ts{};
    clock_gettime(clock, &ts);
    return qint64(ts.tv_sec) * NsPerSecond + ts.tv_nsec;
}

void complain(const char *what)
{
    std::fprintf(stderr, "TimoraDesk: clock changes cannot be watched (%s: %s)\n", what,
                 std::strerror(errno));
}

} // namespace

TimerFdClockSource::TimerFdClockSource(QObject *parent) : ClockChangeSource(parent)
{
    m_fd = timerfd_create(CLOCK_REALTIME, TFD_NONBLOCK | TFD_CLOEXEC);
    if (m_fd < 0) {
        complain("timerfd_create");
        return;
    }
    m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TimerFdClockSource::timerReadable);
    arm();
}

TimerFdClockSource::~TimerFdClockSource()
{
    delete m_notifier;
    if (m_fd >= 0)
        ::close(m_fd);
}

bool TimerFdClockSource::isRealChange(qint64 offsetBeforeNs, qint64 offsetAfterNs)
{
    // The distance in unsigned arithmetic, which cannot overflow for any two offsets.
    const std::uint64_t moved = offsetAfterNs >= offsetBeforeNs
                                    ? std::uint64_t(offsetAfterNs) - std::uint64_t(offsetBeforeNs)
                                    : std::uint64_t(offsetBeforeNs) - std::uint64_t(offsetAfterNs);
    return moved >= std::uint64_t(ToleranceNs);
}

bool TimerFdClockSource::isArmed() const
{
    if (m_fd < 0 || !m_notifier || !m_notifier->isEnabled())
        return false;
    itimerspec current{};
    if (timerfd_gettime(m_fd, &current) != 0)
        return false;
    return current.it_value.tv_sec != 0 || current.it_value.tv_nsec != 0;
}

qint64 TimerFdClockSource::wallAgainstBootNs() const
{
    // The boot clock read on both sides of the wall clock, so that a pause between the
    // readings falls half on each side.
    const qint64 bootBefore = nowNs(CLOCK_BOOTTIME);
    const qint64 wall = nowNs(CLOCK_REALTIME);
    const qint64 bootAfter = nowNs(CLOCK_BOOTTIME);
    return wall - (bootBefore + (bootAfter - bootBefore) / 2);
}

qint64 TimerFdClockSource::expirySeconds() const
{
    return nowNs(CLOCK_REALTIME) / NsPerSecond + AheadSeconds;
}

TimerFdClockSource::ReadResult TimerFdClockSource::readTimer()
{
    std::uint64_t expirations = 0;
    const ssize_t n = ::read(m_fd, &expirations, sizeof expirations);
    if (n == ssize_t(sizeof expirations))
        return ReadResult::Expired;
    if (n < 0 && errno == ECANCELED)
        return ReadResult::Cancelled;
    if (n < 0 && (errno == EAGAIN || errno == EINTR))
        return ReadResult::Nothing;
    return ReadResult::Failed;
}

bool TimerFdClockSource::arm()
{
    if (m_fd < 0)
        return false;
    m_offsetNs = wallAgainstBootNs();
    itimerspec setting{};
    setting.it_value.tv_sec = static_cast<time_t>(expirySeconds());
    if (timerfd_settime(m_fd, TFD_TIMER_ABSTIME | TFD_TIMER_CANCEL_ON_SET, &setting, nullptr) !=
        0) {
        complain("timerfd_settime");
        m_notifier->setEnabled(false);
        return false;
    }
    ++m_armCount;
    return true;
}

void TimerFdClockSource::timerReadable()
{
    switch (readTimer()) {
    case ReadResult::Nothing:
        return;
    case ReadResult::Expired:
        arm();
        return;
    case ReadResult::Failed:
        // A descriptor that cannot be read would wake us for ever: stop watching it.
        complain("read");
        m_notifier->setEnabled(false);
        return;
    case ReadResult::Cancelled: {
        const qint64 before = m_offsetNs;
        // Set again first: whoever handles the change may keep the event loop busy for long.
        arm();
        if (isRealChange(before, m_offsetNs))
            emit TimeChanged();
        return;
    }
    }
}
