#pragma once

#include "core/rules/SessionEnd.h"

#include <QtGlobal>

class AccountTable;
class DeadlineWatch;

// The running session of the account logged on: its minutes, one less a minute, the warning and
// the end they bring, the penalty for a changed clock, and the session's one end, which stores
// the remainder, tells the launcher and asks for the power action, once whatever the way out.
// The session window shows what it reports and passes on what happens; the account table keeps
// the accounts and stores the remainder. The deadline watch, when there is one, follows the
// countdown, so that an overdue session ends even while the window thread is held up.
class SessionCountdown
{
public:
    // The warning comes when this many minutes are left.
    static constexpr qint32 WarningMinutes = 5;

    // What a minute brought.
    enum class Tick {
        // Nothing to say; the countdown goes on.
        Counting,
        // WarningMinutes are left; the countdown goes on.
        Warn,
        // No minute is left, or the session is already over: it ends now.
        End,
    };

    // Both must outlive the countdown; the deadline watch may be missing. `end` is what the
    // session's end asks of the world outside.
    SessionCountdown(AccountTable &accounts, DeadlineWatch *deadline, SessionEnd end = {});

    // The countdown starts with these minutes (below zero: without limit), the deadline with them
    // and the given power action. From here on every save of the table stores 0 minutes left for
    // the account logged on, until the session end stores the remainder.
    void start(qint32 minutes, bool restart);
    // The power action the end asks for: restart (true) or shut-down.
    void setRestart(bool restart);

    // The minutes left; a session without limit counts below zero.
    qint32 minutes() const { return m_minutes; }
    bool ended() const { return m_ended; }

    // One minute less (never below the lowest number), brought to the deadline. A session that
    // has ended stays as it is.
    Tick tick();
    // A change of the system clock: the first one in a session forfeits what is left of it (the
    // deadline comes forward to now) and returns true, for the penalty to be shown and the
    // session ended; every later one changes nothing and returns false.
    bool clockChanged();
    // The session ends: true the first time only, whatever the way out (Log Off, zero, the
    // penalty, the program told to end). The countdown stops.
    bool end();
    // The session ended without a power action of its own (the program was told to end and has
    // stored the remainder): nothing more is due.
    void dropDeadline();

    // The session's end by Log Off, zero, the penalty or the window closed: the minutes left and
    // today's date are stored, the launcher is told, and the restart (true) or the shut-down is
    // asked for; a refused one is told to the launcher. True the first time only: a second way
    // out does nothing.
    bool endSession(const QString &today, bool restart);
    // The session's end when the program is told to end (the machine is already going down, or
    // the session is being closed): the remainder is stored, nothing is asked for and nothing
    // is due. True the first time only.
    bool endBySignal(const QString &today);

private:
    // A failure to store the minutes is reported, and the session still ends: nobody is kept in
    // front of a machine that cannot write its settings. The store keeps what the logon stored,
    // so the rest of the day is forfeited rather than given back.
    void storeRemainder(const QString &today);

    AccountTable &m_accounts;
    DeadlineWatch *m_deadline;
    SessionEnd m_end;
    qint32 m_minutes = 0;
    bool m_penalised = false;
    bool m_ended = false;
};
