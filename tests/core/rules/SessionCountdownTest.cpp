// The running session without its window: the countdown, the warning and the end, the
// clock-change penalty and the one end: stored once, the launcher told once, the power action
// asked for once, whatever the way out.
#include "core/rules/SessionCountdown.h"
#include "core/rules/AccountTable.h"
#include "core/rules/AppError.h"
#include "tests/support/MemoryAccountStore.h"

#include <QList>
#include <QStringList>
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

// A session of KID (20 minutes left today) over a store in memory, with every step of its end
// recorded in order.
class ASessionsEnd : public ::testing::Test
{
protected:
    void SetUp() override
    {
        table.setStore(&store);
        table.LoadAccounts();
        ASSERT_EQ(table.logOn(QStringLiteral("kid"), QStringLiteral("pw"), Today).outcome,
                  AccountTable::LogOn::LoggedOn);
        session.start(table.grantedMinutes(), true);
        writesAtLogon = store.writes;
    }
    SessionEnd recorded()
    {
        return {[this](const AppError &error) { log.append(QString::number(error.number())); },
                [this] { log.append(QStringLiteral("launcher")); },
                [this](bool restart) {
                    log.append(restart ? QStringLiteral("restart") : QStringLiteral("shut-down"));
                    return !refused;
                },
                [this] {
                    log.append(QStringLiteral("again"));
                }};
    }
    qint32 storedLeft() const { return store.table().accounts.at(0).minsLeft; }

    static inline const QString Today = QStringLiteral("12/8/2026");
    MemoryAccountStore store{
        {AccountSlot{QStringLiteral("KID"), QStringLiteral("PW"), 60, Today, 20}}};
    AccountTable table;
    bool refused = false;
    QStringList log;
    SessionCountdown session{table, nullptr, recorded()};
    int writesAtLogon = 0;
};

// How a session comes to its end before a second way out is tried.
enum class WayOut { LogOff, Zero, Penalty };

struct EndCase
{
    const char *name;
    WayOut way;
    bool restart;
    bool refused;
    qint32 left;
    QStringList steps;
};

class ASessionsOneEnd : public ASessionsEnd, public ::testing::WithParamInterface<EndCase>
{};

TEST_P(ASessionsOneEnd, StoresOnceTellsTheLauncherOnceAndAsksForThePowerActionOnce)
{
    const EndCase &c = GetParam();
    refused = c.refused;
    session.tick();
    if (c.way == WayOut::Zero) {
        while (session.tick() != SessionCountdown::Tick::End) {
        }
    } else if (c.way == WayOut::Penalty) {
        ASSERT_TRUE(session.clockChanged());
    }
    EXPECT_TRUE(session.endSession(Today, c.restart));
    // Every later way out finds the session over.
    EXPECT_FALSE(session.endSession(Today, !c.restart));
    EXPECT_FALSE(session.endBySignal(Today));
    EXPECT_EQ(log, c.steps);
    EXPECT_EQ(storedLeft(), c.left);
    EXPECT_EQ(store.writes, writesAtLogon + 1);
}

INSTANTIATE_TEST_SUITE_P(
    WaysOut, ASessionsOneEnd,
    ::testing::Values(EndCase{"LogOffRestart",
                              WayOut::LogOff,
                              true,
                              false,
                              19,
                              {QStringLiteral("launcher"), QStringLiteral("restart")}},
                      EndCase{"ZeroShutDown",
                              WayOut::Zero,
                              false,
                              false,
                              0,
                              {QStringLiteral("launcher"), QStringLiteral("shut-down")}},
                      EndCase{"PenaltyRefused",
                              WayOut::Penalty,
                              true,
                              true,
                              0,
                              {QStringLiteral("launcher"), QStringLiteral("restart"),
                               QStringLiteral("again")}}),
    [](const ::testing::TestParamInfo<EndCase> &info) { return std::string(info.param.name); });

TEST_F(ASessionsEnd, ToldToEndStoresOnceAndAsksForNothing)
{
    session.tick();
    session.tick();
    EXPECT_TRUE(session.endBySignal(Today));
    EXPECT_FALSE(session.endSession(Today, true)) << "the window closing after it adds nothing";
    EXPECT_TRUE(log.isEmpty()) << log.join(u',').toStdString();
    EXPECT_EQ(storedLeft(), 18);
    EXPECT_EQ(store.writes, writesAtLogon + 1);
}

TEST_F(ASessionsEnd, ARemainderThatCannotBeStoredIsReportedBeforeTheLauncherAndStillEnds)
{
    session.tick();
    store.failWrites = true;
    EXPECT_TRUE(session.endSession(Today, true));
    EXPECT_EQ(log, (QStringList{QStringLiteral("75"), QStringLiteral("launcher"),
                                QStringLiteral("restart")}));
    EXPECT_EQ(storedLeft(), 0) << "the rest of the day is forfeited";
}

} // namespace
