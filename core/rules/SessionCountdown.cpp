#include "core/rules/SessionCountdown.h"

#include "core/rules/AccountTable.h"
#include "core/rules/DeadlineWatch.h"

#include <limits>

SessionCountdown::SessionCountdown(AccountTable &accounts, DeadlineWatch *deadline)
    : m_accounts(accounts), m_deadline(deadline)
{}

void SessionCountdown::start(qint32 minutes, bool restart)
{
    m_minutes = minutes;
    m_accounts.setSessionRunning(true);
    if (m_deadline)
        m_deadline->start(minutes, restart);
}

void SessionCountdown::setRestart(bool restart)
{
    if (m_deadline)
        m_deadline->setRestart(restart);
}

SessionCountdown::Tick SessionCountdown::tick()
{
    if (m_ended)
        return Tick::End;
    if (m_minutes > std::numeric_limits<qint32>::min())
        --m_minutes;
    if (m_deadline)
        m_deadline->shorten(m_minutes);
    if (m_minutes == 0)
        return Tick::End;
    return m_minutes == WarningMinutes ? Tick::Warn : Tick::Counting;
}

bool SessionCountdown::clockChanged()
{
    if (m_penalised)
        return false;
    m_penalised = true;
    // What has already ended keeps the remainder it stored.
    if (!m_ended) {
        m_minutes = 0;
        if (m_deadline)
            m_deadline->shorten(0);
    }
    return true;
}

bool SessionCountdown::end()
{
    if (m_ended)
        return false;
    m_ended = true;
    return true;
}

void SessionCountdown::dropDeadline()
{
    if (m_deadline)
        m_deadline->clear();
}
