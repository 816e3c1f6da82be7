#include "core/rules/SessionCountdown.h"

#include "core/rules/AccountTable.h"
#include "core/rules/AppError.h"
#include "core/rules/DeadlineWatch.h"

#include <cstdio>
#include <limits>

SessionCountdown::SessionCountdown(AccountTable &accounts, DeadlineWatch *deadline, SessionEnd end)
    : m_accounts(accounts), m_deadline(deadline), m_end(std::move(end))
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

void SessionCountdown::storeRemainder(const QString &today)
{
    try {
        m_accounts.endSession(m_minutes, today);
    } catch (const AppError &error) {
        if (m_end.storeFailed)
            m_end.storeFailed(error);
        std::fprintf(stderr, "TimoraDesk: the minutes left could not be stored: %d %s\n",
                     error.number(), qPrintable(error.description()));
    }
}

bool SessionCountdown::endSession(const QString &today, bool restart)
{
    if (!end())
        return false;
    storeRemainder(today);
    // The launcher ends the kiosk account's programs first, so that none of them can hold the
    // restart back; a refused restart brings the logon window back instead of leaving the
    // computer without one.
    if (m_end.sessionEnded)
        m_end.sessionEnded();
    if (m_end.powerAction && !m_end.powerAction(restart) && m_end.powerActionFailed)
        m_end.powerActionFailed();
    return true;
}

bool SessionCountdown::endBySignal(const QString &today)
{
    if (!end())
        return false;
    storeRemainder(today);
    // Stored: the program ends as it is told to, with no power action of its own.
    dropDeadline();
    return true;
}
