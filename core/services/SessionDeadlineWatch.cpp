#include "core/services/SessionDeadlineWatch.h"

SessionDeadlineWatch::SessionDeadlineWatch(Overdue overdue)
    : m_overdue(std::move(overdue)), m_thread([this] { run(); })
{}

SessionDeadlineWatch::~SessionDeadlineWatch()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

void SessionDeadlineWatch::start(qint32 minutes, bool restart)
{
    {
        const std::lock_guard lock(m_mutex);
        m_deadline.start(SessionDeadline::Clock::now(), minutes);
        m_deadline.setRestart(restart);
    }
    m_changed.notify_all();
}

void SessionDeadlineWatch::shorten(qint32 minutesLeft)
{
    {
        const std::lock_guard lock(m_mutex);
        m_deadline.shorten(SessionDeadline::Clock::now(), minutesLeft);
    }
    m_changed.notify_all();
}

void SessionDeadlineWatch::setRestart(bool restart)
{
    const std::lock_guard lock(m_mutex);
    m_deadline.setRestart(restart);
}

void SessionDeadlineWatch::clear()
{
    {
        const std::lock_guard lock(m_mutex);
        m_deadline.clear();
    }
    m_changed.notify_all();
}

SessionDeadline SessionDeadlineWatch::deadline() const
{
    const std::lock_guard lock(m_mutex);
    return m_deadline;
}

void SessionDeadlineWatch::run()
{
    std::unique_lock lock(m_mutex);
    while (!m_stop) {
        const std::optional<SessionDeadline::Clock::time_point> at = m_deadline.overdueAt();
        if (!at) {
            m_changed.wait(lock);
            continue;
        }
        // The steady clock is CLOCK_MONOTONIC: setting the system's clock moves nothing here.
        if (!m_deadline.overdue(SessionDeadline::Clock::now())) {
            m_changed.wait_until(lock, *at);
            continue;
        }
        const bool restart = m_deadline.restart();
        m_deadline.clear();
        lock.unlock();
        m_overdue(restart);
        lock.lock();
    }
}
