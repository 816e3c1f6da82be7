#pragma once

#include <QtGlobal>
#include <chrono>
#include <optional>

// When a running session must be over at the latest, on a clock that nothing on the machine can
// set (CLOCK_MONOTONIC): the session's minutes from the moment its countdown starts, brought
// forward when the countdown loses minutes, never pushed back. A session without limit has no
// deadline. A few seconds' grace past it are left to the session window to end the session
// itself.
class SessionDeadline
{
public:
    using Clock = std::chrono::steady_clock;

    static constexpr std::chrono::seconds Grace{5};

    // The countdown starts with these minutes at `now`; no deadline for a session without limit
    // (or one that starts with no minutes, which the countdown never ends).
    void start(Clock::time_point now, qint32 minutes);
    // The countdown shows these minutes left at `now`: the deadline comes forward to them if
    // that is earlier.
    void shorten(Clock::time_point now, qint32 minutesLeft);
    // The session ended its own way; nothing is due.
    void clear() { m_deadline.reset(); }
    // The power action the session end asks for: restart (true) or shut-down.
    void setRestart(bool restart) { m_restart = restart; }
    bool restart() const { return m_restart; }

    std::optional<Clock::time_point> deadline() const { return m_deadline; }
    // The moment past which the session is overdue, nothing when none is due.
    std::optional<Clock::time_point> overdueAt() const;
    bool overdue(Clock::time_point now) const;

private:
    std::optional<Clock::time_point> m_deadline;
    bool m_restart = true;
};
