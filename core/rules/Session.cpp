#include "core/rules/Session.h"

#include "core/rules/AccountTable.h"
#include "core/rules/AppError.h"
#include "core/rules/DeadlineWatch.h"

#include <QTimer>
#include <cstdio>
#include <limits>

Session::Session(AccountTable &accounts, const SessionGrant &grant, SessionEnd end,
                 DeadlineWatch *deadline, QObject *parent)
    : QObject(parent), m_accounts(accounts), m_grant(grant), m_end(std::move(end)),
      m_deadline(deadline), m_timer(new QTimer(this)), m_minutes(grant.minutes)
{
    m_timer->setObjectName(QStringLiteral("Timer1"));
    m_timer->setInterval(MinuteMs);
    connect(m_timer, &QTimer::timeout, this, [this] { tick(); });
}

Session::~Session()
{
    // A session that goes without an end leaves nothing due behind it.
    if (!m_ended && m_deadline)
        m_deadline->clear();
}

void Session::start(bool restart)
{
    m_restart = restart;
    m_timer->start();
    if (m_deadline)
        m_deadline->start(m_minutes, restart);
}

void Session::setRestart(bool restart)
{
    m_restart = restart;
    if (m_deadline)
        m_deadline->setRestart(restart);
}

Session::Tick Session::tick()
{
    if (m_ended)
        return Tick::End;
    // The next minute counts from here, once what this one brings has been shown.
    m_timer->stop();
    if (m_minutes > std::numeric_limits<qint32>::min())
        --m_minutes;
    if (m_deadline)
        m_deadline->shorten(m_minutes);
    emit counted(m_minutes);
    if (m_minutes == 0) {
        end();
        return Tick::End;
    }
    const bool warn = m_minutes == WarningMinutes;
    // The countdown goes on behind the warning: the session ends at zero whether it is read.
    if (warn)
        emit warning();
    if (!m_ended)
        m_timer->start();
    return warn ? Tick::Warn : Tick::Counting;
}

bool Session::clockChanged()
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
    // The box does not hold the session back: the day's time is gone and the session ends now.
    emit penalised();
    end();
    return true;
}

bool Session::finish()
{
    if (m_ended)
        return false;
    m_ended = true;
    m_timer->stop();
    return true;
}

void Session::storeRemainder()
{
    try {
        m_accounts.endSession(m_grant, m_minutes, m_end.today ? m_end.today() : QString());
    } catch (const AppError &error) {
        if (m_end.storeFailed)
            m_end.storeFailed(error);
        std::fprintf(stderr, "TimoraDesk: the minutes left could not be stored: %d %s\n",
                     error.number(), qPrintable(error.description()));
    }
}

bool Session::end()
{
    if (!finish())
        return false;
    storeRemainder();
    // The launcher ends the kiosk account's programs first, so that none of them can hold the
    // restart back; a refused restart brings the logon window back instead of leaving the
    // computer without one.
    m_end.handOver(m_restart);
    emit handedOver();
    return true;
}

bool Session::endBySignal()
{
    if (!finish())
        return false;
    storeRemainder();
    // Stored: the program ends as it is told to, with no power action of its own.
    if (m_deadline)
        m_deadline->clear();
    return true;
}
