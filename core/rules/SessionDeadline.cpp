#include "core/rules/SessionDeadline.h"

namespace {

SessionDeadline::Clock::duration minutesOf(qint32 minutes)
{
    return std::chrono::minutes(minutes);
}

} // namespace

void SessionDeadline::start(Clock::time_point now, qint32 minutes)
{
    if (minutes <= 0) {
        m_deadline.reset();
        return;
    }
    m_deadline = now + minutesOf(minutes);
}

void SessionDeadline::shorten(Clock::time_point now, qint32 minutesLeft)
{
    // A session without a deadline gets none from its countdown (it runs without limit).
    if (!m_deadline)
        return;
    const Clock::time_point proposed = now + minutesOf(qMax<qint32>(minutesLeft, 0));
    if (proposed < *m_deadline)
        m_deadline = proposed;
}

std::optional<SessionDeadline::Clock::time_point> SessionDeadline::overdueAt() const
{
    if (!m_deadline)
        return std::nullopt;
    return *m_deadline + Grace;
}

bool SessionDeadline::overdue(Clock::time_point now) const
{
    const std::optional<Clock::time_point> at = overdueAt();
    return at && now >= *at;
}
