// The running session without its window: the countdown, the warning and the end, the
// clock-change penalty and the one end.
#include "core/rules/SessionCountdown.h"
#include "core/rules/AccountTable.h"

#include <QList>
#include <gtest/gtest.h>
#include <limits>

namespace {

using Tick = SessionCountdown::Tick;

class ASession : public ::testing::Test
{
protected:
    // The ticks of `count` minutes, with the minutes each one left.
    QList<std::pair<Tick, qint32>> ticks(int count)
    {
        QList<std::pair<Tick, qint32>> seen;
        for (int i = 0; i < count; ++i) {
            const Tick tick = session.tick();
            seen.append({tick, session.minutes()});
        }
        return seen;
    }

    AccountTable table;
    SessionCountdown session{table, nullptr};
};

TEST_F(ASession, WarnsAtFiveMinutesAndEndsAtZero)
{
    session.start(7, true);
    EXPECT_EQ(session.minutes(), 7);
    EXPECT_TRUE(table.sessionRunning()) << "saves store nothing left from the start on";
    const QList<std::pair<Tick, qint32>> expected{
        {Tick::Counting, 6}, {Tick::Warn, 5},     {Tick::Counting, 4}, {Tick::Counting, 3},
        {Tick::Counting, 2}, {Tick::Counting, 1}, {Tick::End, 0}};
    EXPECT_EQ(ticks(7), expected);
    EXPECT_FALSE(session.ended()) << "zero asks for the end; the end itself is the caller's";
}

TEST_F(ASession, StartingBelowTheWarningEndsWithoutOne)
{
    session.start(3, true);
    const QList<std::pair<Tick, qint32>> expected{
        {Tick::Counting, 2}, {Tick::Counting, 1}, {Tick::End, 0}};
    EXPECT_EQ(ticks(3), expected);
}

TEST_F(ASession, WithoutLimitCountsBelowZeroAndNeverEndsNorWarns)
{
    session.start(-1, true);
    for (const auto &[tick, minutes] : ticks(10))
        EXPECT_EQ(tick, Tick::Counting) << minutes;
    EXPECT_EQ(session.minutes(), -11);

    // Nor does one that starts with no minutes: its first minute takes it below zero.
    SessionCountdown empty(table, nullptr);
    empty.start(0, true);
    EXPECT_EQ(empty.tick(), Tick::Counting);
    EXPECT_EQ(empty.minutes(), -1);
}

TEST_F(ASession, StopsAtTheLowestNumber)
{
    session.start(std::numeric_limits<qint32>::min() + 1, true);
    EXPECT_EQ(session.tick(), Tick::Counting);
    EXPECT_EQ(session.minutes(), std::numeric_limits<qint32>::min());
    EXPECT_EQ(session.tick(), Tick::Counting);
    EXPECT_EQ(session.minutes(), std::numeric_limits<qint32>::min());
}

TEST_F(ASession, AClockChangeForfeitsTheSessionOnce)
{
    session.start(30, true);
    session.tick();
    EXPECT_TRUE(session.clockChanged());
    EXPECT_EQ(session.minutes(), 0);
    // A second change while the session is ending adds nothing.
    EXPECT_FALSE(session.clockChanged());
    EXPECT_TRUE(session.end());
    EXPECT_FALSE(session.clockChanged());
    EXPECT_EQ(session.minutes(), 0);
}

TEST_F(ASession, AClockChangeAfterTheEndKeepsTheMinutesItEndedWith)
{
    session.start(30, true);
    session.tick();
    ASSERT_TRUE(session.end());
    EXPECT_TRUE(session.clockChanged()) << "the first change is still told";
    EXPECT_EQ(session.minutes(), 29);
}

TEST_F(ASession, EndsOnceWhateverTheWayOut)
{
    session.start(6, true);
    EXPECT_FALSE(session.ended());
    EXPECT_TRUE(session.end());
    EXPECT_TRUE(session.ended());
    EXPECT_FALSE(session.end()) << "a second way out finds the session over";
    // The countdown has stopped: a late minute changes nothing and finds the session over.
    EXPECT_EQ(session.tick(), Tick::End);
    EXPECT_EQ(session.minutes(), 6);
    EXPECT_FALSE(session.end());
}

} // namespace
