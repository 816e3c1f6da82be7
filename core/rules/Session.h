#pragma once

#include "core/rules/SessionEnd.h"
#include "core/rules/SessionGrant.h"

#include <QObject>

class AccountTable;
class DeadlineWatch;
class QTimer;

// The running session of an account, made from what its logon granted: its minutes, one less a
// minute on its own timer, the warning and the end they bring, the penalty for a changed clock,
// and the session's one end, which stores the remainder, tells the launcher and asks for the
// power action, once whatever the way out. The session window shows what it reports and passes
// on what the user does; the account table stores the remainder. The deadline watch, when there
// is one, follows the countdown, so that an overdue session ends even while the window thread is
// held up.
class Session : public QObject
{
    Q_OBJECT
public:
    // The warning comes when this many minutes are left.
    static constexpr qint32 WarningMinutes = 5;
    static constexpr int MinuteMs = 60000;

    // What a minute brought.
    enum class Tick {
        // Nothing to say; the countdown goes on.
        Counting,
        // WarningMinutes are left; the countdown goes on.
        Warn,
        // No minute is left, or the session is already over: it has ended.
        End,
    };

    // The table and the deadline watch must outlive the session; the watch may be missing. `end`
    // is what the session's end asks of the world outside.
    Session(AccountTable &accounts, const SessionGrant &grant, SessionEnd end = {},
            DeadlineWatch *deadline = nullptr, QObject *parent = nullptr);
    ~Session() override;

    const SessionGrant &grant() const { return m_grant; }
    // The timer whose every timeout is a minute of the session; it runs from start() to the end.
    QTimer *minuteTimer() const { return m_timer; }

    // The countdown starts with the granted minutes (below zero: without limit) and the given
    // power action, and the deadline with them. The store has held 0 minutes left for the account
    // since the logon: only the session's end stores the remainder.
    void start(bool restart);
    // The power action the end asks for: restart (true) or shut-down.
    void setRestart(bool restart);

    // The minutes left; a session without limit counts below zero.
    qint32 minutes() const { return m_minutes; }
    bool ended() const { return m_ended; }

    // One minute less (never below the lowest number), brought to the deadline and reported
    // (counted, then warning at WarningMinutes); at zero the session ends. A session that has
    // ended stays as it is.
    Tick tick();
    // A change of the system clock: the first one in a session forfeits what is left of it (the
    // deadline comes forward to now), is reported (penalised) and ends the session; it returns
    // true. Every later one changes nothing and returns false.
    bool clockChanged();
    // The session's end by Log Off, zero, the penalty or the window closed: the minutes left and
    // today's date are stored, the launcher is told, and the power action is asked for; a refused
    // one is told to the launcher. True the first time only: a second way out does nothing.
    bool end();
    // The session's end when the program is told to end (the machine is already going down, or
    // the session is being closed): the remainder is stored, nothing is asked for and nothing is
    // due. True the first time only.
    bool endBySignal();

signals:
    // A minute has passed: these are left.
    void counted(qint32 minutes);
    // WarningMinutes are left.
    void warning();
    // The clock was changed: the session's time is gone and it ends.
    void penalised();
    // The session has ended and been handed over: the power action is asked for (not when the
    // program was told to end).
    void handedOver();

private:
    // Marks the session over and stops its timer; false when it already was.
    bool finish();
    // A failure to store the minutes is reported, and the session still ends: nobody is kept in
    // front of a machine that cannot write its settings. The store keeps what the logon stored,
    // so the rest of the day is forfeited rather than given back.
    void storeRemainder();

    AccountTable &m_accounts;
    const SessionGrant m_grant;
    SessionEnd m_end;
    DeadlineWatch *m_deadline;
    QTimer *m_timer;
    qint32 m_minutes;
    bool m_restart = true;
    bool m_penalised = false;
    bool m_ended = false;
};
