#pragma once

#include "core/rules/DeadlineWatch.h"
#include "core/rules/SessionDeadline.h"

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

// Keeps a session's deadline on a thread of its own, so that the session ends on time even while
// the window thread is held up (blocked on the display, say). When the session is overdue, the
// thread calls `overdue` once, with the power action the session end asks for; it must end the
// program without touching the display or anything the window thread holds.
class SessionDeadlineWatch : public DeadlineWatch
{
public:
    using Overdue = std::function<void(bool restart)>;

    explicit SessionDeadlineWatch(Overdue overdue);
    ~SessionDeadlineWatch() override;
    SessionDeadlineWatch(const SessionDeadlineWatch &) = delete;
    SessionDeadlineWatch &operator=(const SessionDeadlineWatch &) = delete;

    // As SessionDeadline, from now.
    void start(qint32 minutes, bool restart) override;
    void shorten(qint32 minutesLeft) override;
    void setRestart(bool restart) override;
    void clear() override;

    // What the watch holds now.
    SessionDeadline deadline() const;

private:
    void run();

    Overdue m_overdue;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    SessionDeadline m_deadline;
    bool m_stop = false;
    std::thread m_thread;
};
