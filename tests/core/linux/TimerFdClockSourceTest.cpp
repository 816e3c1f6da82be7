#include "core/linux/TimerFdClockSource.h"

#include <QDateTime>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>
#include <limits>

namespace {

constexpr qint64 Second = 1'000'000'000;

// A source whose clocks the test sets. Its first timer is set in the past, so that the real
// descriptor becomes readable at once and the event loop delivers it like a kernel report;
// what the read then says can be replaced by a cancellation.
class InjectedClockSource : public TimerFdClockSource
{
public:
    explicit InjectedClockSource(bool cancelOnce) : m_cancelOnce(cancelOnce)
    {
        m_expireAtOnce = true;
        arm();
        m_expireAtOnce = false;
    }

    qint64 offsetNs = 0;
    int reads = 0;
    mutable qint64 lastExpirySeconds = 0;

protected:
    qint64 wallAgainstBootNs() const override { return offsetNs; }

    qint64 expirySeconds() const override
    {
        const qint64 seconds = m_expireAtOnce ? 1 : TimerFdClockSource::expirySeconds();
        lastExpirySeconds = seconds;
        return seconds;
    }

    ReadResult readTimer() override
    {
        ++reads;
        const ReadResult real = TimerFdClockSource::readTimer();
        if (m_cancelOnce) {
            m_cancelOnce = false;
            return ReadResult::Cancelled;
        }
        return real;
    }

private:
    bool m_cancelOnce;
    bool m_expireAtOnce = false;
};

// Lets the event loop deliver whatever the descriptor has to say.
void settle()
{
    for (int i = 0; i < 5; ++i)
        QTest::qWait(20);
}

TEST(TimerFdClockSource, WatchesTheClockFromTheStart)
{
    TimerFdClockSource source;
    EXPECT_TRUE(source.isArmed());
    EXPECT_EQ(source.armCount(), 1);
    QSignalSpy changes(&source, &ClockChangeSource::TimeChanged);
    settle();
    EXPECT_EQ(changes.count(), 0);
}

TEST(TimerFdClockSource, ASettingOfTheClockIsReportedOnceAndTheTimerIsSetAgain)
{
    InjectedClockSource source(true);
    ASSERT_EQ(source.armCount(), 2);
    QSignalSpy changes(&source, &ClockChangeSource::TimeChanged);
    source.offsetNs = 3600 * Second; // the wall clock was put an hour ahead
    ASSERT_TRUE(QTest::qWaitFor([&] { return changes.count() == 1; }, 2000));
    settle();
    EXPECT_EQ(changes.count(), 1);
    EXPECT_EQ(source.reads, 1);
    EXPECT_EQ(source.armCount(), 3);
    EXPECT_TRUE(source.isArmed());
    // Set again far in the future, not in the past it started from.
    EXPECT_GT(source.lastExpirySeconds,
              QDateTime::currentSecsSinceEpoch() + qint64(50) * 365 * 24 * 3600);
}

TEST(TimerFdClockSource, AResumeFromSuspendIsNoChangeOfTheClock)
{
    InjectedClockSource source(true);
    QSignalSpy changes(&source, &ClockChangeSource::TimeChanged);
    // Cancelled by the kernel, but wall and boot clock moved on together.
    ASSERT_TRUE(QTest::qWaitFor([&] { return source.reads == 1; }, 2000));
    settle();
    EXPECT_EQ(changes.count(), 0);
    EXPECT_EQ(source.armCount(), 3);
    EXPECT_TRUE(source.isArmed());
}

TEST(TimerFdClockSource, AnExpiryIsNoChangeAndTheTimerIsSetAgain)
{
    InjectedClockSource source(false);
    QSignalSpy changes(&source, &ClockChangeSource::TimeChanged);
    ASSERT_TRUE(QTest::qWaitFor([&] { return source.armCount() == 3; }, 2000));
    settle();
    EXPECT_EQ(changes.count(), 0);
    EXPECT_EQ(source.reads, 1);
    EXPECT_TRUE(source.isArmed());
}

TEST(TimerFdClockSource, OnlyAMoveOfTheWallClockAgainstTheBootClockIsAChange)
{
    const qint64 lowest = std::numeric_limits<qint64>::min();
    const qint64 highest = std::numeric_limits<qint64>::max();
    const qint64 now = qint64(1'790'000'000) * Second;
    const struct
    {
        qint64 before;
        qint64 after;
        bool change;
    } cases[] = {
        {now, now, false},                       // resume: both clocks moved together
        {now, now + Second / 1000, false},       // the two readings a moment apart
        {now, now + Second - 1, false},          // below a second
        {now, now - Second + 1, false},          //
        {now, now + Second, true},               // a second forward
        {now, now - Second, true},               // a second back
        {now, now + 86400 * Second, true},       // the next day
        {now, now - 365 * 86400 * Second, true}, // a year back
        {lowest, highest, true},                 // the extremes do not overflow
        {highest, lowest, true},                 //
        {highest, highest, false},               //
    };
    for (const auto &c : cases)
        EXPECT_EQ(TimerFdClockSource::isRealChange(c.before, c.after), c.change)
            << c.before << " -> " << c.after;
}

} // namespace
