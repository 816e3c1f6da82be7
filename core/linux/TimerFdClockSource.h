#pragma once

#include "core/services/ClockChangeSource.h"

#include <QtGlobal>

class QSocketNotifier;

// Watches the system clock with a timerfd on CLOCK_REALTIME that the kernel cancels whenever
// the clock is set. The kernel cancels it on resume from suspend too; a resume moves the wall
// clock and the boot clock (which counts the time asleep) together, while setting the clock
// moves the wall clock alone, so only a move of the one against the other is reported.
class TimerFdClockSource : public ClockChangeSource
{
    Q_OBJECT
public:
    // Moves of the wall clock against the boot clock below this size are not changes of the
    // clock: reading the two clocks one after the other, the rounding of the sleep time.
    static constexpr qint64 ToleranceNs = 1'000'000'000;

    explicit TimerFdClockSource(QObject *parent = nullptr);
    ~TimerFdClockSource() override;

    // True when the offset of the wall clock against the boot clock moved between two readings
    // by a setting of the clock, false when it stayed (a resume from suspend).
    static bool isRealChange(qint64 offsetBeforeNs, qint64 offsetAfterNs);

    // Whether the timer is set (to its expiry far in the future) and watched.
    bool isArmed() const;
    // How often the timer was set so far.
    int armCount() const { return m_armCount; }

protected:
    enum class ReadResult {
        Cancelled, // the clock was set (or the machine resumed)
        Expired,   // the far-future expiry passed
        Nothing,   // nothing to read yet
        Failed,
    };

    // The wall clock minus the boot clock, in nanoseconds.
    virtual qint64 wallAgainstBootNs() const;
    // Reads the timer once.
    virtual ReadResult readTimer();
    // The absolute expiry the timer is set to, in seconds of the wall clock.
    virtual qint64 expirySeconds() const;

    // Sets the timer again and remembers the clocks' offset at that moment.
    bool arm();
    // Runs when the timer's descriptor becomes readable.
    void timerReadable();

private:
    int m_fd = -1;
    QSocketNotifier *m_notifier = nullptr;
    qint64 m_offsetNs = 0;
    int m_armCount = 0;
};
