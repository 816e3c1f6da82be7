// The running session without its window: the countdown, the warning and the end, the
// clock-change penalty and the one end: stored once, the launcher told once, the power action
// asked for once, whatever the way out.
#include "core/rules/Session.h"
#include "core/rules/AccountTable.h"
#include "core/rules/AppError.h"
#include "tests/support/MemoryAccountStore.h"

#include <QList>
#include <QStringList>
#include <QTimer>
#include <gtest/gtest.h>
#include <limits>

namespace {

using Tick = Session::Tick;

const QString Today = QStringLiteral("12/8/2026");

// KID logged on over a store in memory, with every step of the session's end recorded in order.
class ASession : public ::testing::Test
{
protected:
    // A session of KID with these minutes, opened as a logon opens one.
    std::unique_ptr<Session> open(qint32 minutes)
    {
        if (table.count() == 0) {
            table.setStore(&store);
            table.LoadAccounts();
        }
        return std::make_unique<Session>(table, table.openSession(1, minutes, Today), recorded());
    }
    SessionEnd recorded()
    {
        SessionEnd end;
        end.today = [] {
            return Today;
        };
        end.storeFailed = [this](const AppError &error) {
            log.append(QString::number(error.number()));
        };
        end.sessionEnded = [this] {
            log.append(QStringLiteral("launcher"));
        };
        end.powerAction = [this](bool restart) {
            log.append(restart ? QStringLiteral("restart") : QStringLiteral("shut-down"));
            return !refused;
        };
        end.powerActionFailed = [this] {
            log.append(QStringLiteral("again"));
        };
        return end;
    }
    // The ticks of `count` minutes, with the minutes each one left.
    QList<std::pair<Tick, qint32>> ticks(int count)
    {
        QList<std::pair<Tick, qint32>> seen;
        for (int i = 0; i < count; ++i) {
            const Tick tick = session->tick();
            seen.append({tick, session->minutes()});
        }
        return seen;
    }
    qint32 storedLeft() const { return store.table().accounts.at(0).minsLeft; }

    MemoryAccountStore store{
        {AccountSlot{QStringLiteral("KID"), QStringLiteral("PW"), 60, Today, 20}}};
    AccountTable table;
    bool refused = false;
    QStringList log;
    std::unique_ptr<Session> session;
};

TEST_F(ASession, WarnsAtFiveMinutesAndEndsAtZero)
{
    session = open(7);
    int warnings = 0;
    QList<qint32> counted;
    QObject::connect(session.get(), &Session::warning, [&] { ++warnings; });
    QObject::connect(session.get(), &Session::counted, [&](qint32 m) { counted.append(m); });
    session->start(true);
    EXPECT_EQ(session->minutes(), 7);
    EXPECT_TRUE(session->minuteTimer()->isActive());
    EXPECT_EQ(session->minuteTimer()->interval(), Session::MinuteMs);
    EXPECT_EQ(storedLeft(), 0) << "the store holds nothing left from the start on";
    const QList<std::pair<Tick, qint32>> expected{
        {Tick::Counting, 6}, {Tick::Warn, 5},     {Tick::Counting, 4}, {Tick::Counting, 3},
        {Tick::Counting, 2}, {Tick::Counting, 1}, {Tick::End, 0}};
    EXPECT_EQ(ticks(7), expected);
    EXPECT_EQ(warnings, 1);
    EXPECT_EQ(counted, (QList<qint32>{6, 5, 4, 3, 2, 1, 0}));
    EXPECT_TRUE(session->ended()) << "zero ends the session itself";
    EXPECT_FALSE(session->minuteTimer()->isActive());
    EXPECT_EQ(log, (QStringList{QStringLiteral("launcher"), QStringLiteral("restart")}));
}

TEST_F(ASession, StartingBelowTheWarningEndsWithoutOne)
{
    session = open(3);
    session->start(true);
    const QList<std::pair<Tick, qint32>> expected{
        {Tick::Counting, 2}, {Tick::Counting, 1}, {Tick::End, 0}};
    EXPECT_EQ(ticks(3), expected);
}

TEST_F(ASession, WithoutLimitCountsBelowZeroAndNeverEndsNorWarns)
{
    session = open(-1);
    session->start(true);
    for (const auto &[tick, minutes] : ticks(10))
        EXPECT_EQ(tick, Tick::Counting) << minutes;
    EXPECT_EQ(session->minutes(), -11);

    // Nor does one that starts with no minutes: its first minute takes it below zero.
    const std::unique_ptr<Session> empty = open(0);
    empty->start(true);
    EXPECT_EQ(empty->tick(), Tick::Counting);
    EXPECT_EQ(empty->minutes(), -1);
    EXPECT_TRUE(log.isEmpty());
}

TEST_F(ASession, StopsAtTheLowestNumber)
{
    session = open(std::numeric_limits<qint32>::min() + 1);
    session->start(true);
    EXPECT_EQ(session->tick(), Tick::Counting);
    EXPECT_EQ(session->minutes(), std::numeric_limits<qint32>::min());
    EXPECT_EQ(session->tick(), Tick::Counting);
    EXPECT_EQ(session->minutes(), std::numeric_limits<qint32>::min());
}

TEST_F(ASession, AClockChangeForfeitsTheSessionOnce)
{
    session = open(30);
    int penalties = 0;
    QObject::connect(session.get(), &Session::penalised, [&] { ++penalties; });
    session->start(true);
    session->tick();
    EXPECT_TRUE(session->clockChanged());
    EXPECT_EQ(session->minutes(), 0);
    EXPECT_TRUE(session->ended()) << "the penalty ends the session";
    EXPECT_EQ(storedLeft(), 0);
    // A second change while the session is ending adds nothing.
    EXPECT_FALSE(session->clockChanged());
    EXPECT_FALSE(session->end());
    EXPECT_EQ(session->minutes(), 0);
    EXPECT_EQ(penalties, 1);
}

TEST_F(ASession, AClockChangeAfterTheEndKeepsTheMinutesItEndedWith)
{
    session = open(30);
    session->start(true);
    session->tick();
    ASSERT_TRUE(session->end());
    EXPECT_TRUE(session->clockChanged()) << "the first change is still told";
    EXPECT_EQ(session->minutes(), 29);
    EXPECT_EQ(storedLeft(), 29);
}

TEST_F(ASession, EndsOnceWhateverTheWayOut)
{
    session = open(6);
    session->start(true);
    EXPECT_FALSE(session->ended());
    EXPECT_TRUE(session->end());
    EXPECT_TRUE(session->ended());
    EXPECT_FALSE(session->end()) << "a second way out finds the session over";
    // The countdown has stopped: a late minute changes nothing and finds the session over.
    EXPECT_EQ(session->tick(), Tick::End);
    EXPECT_EQ(session->minutes(), 6);
    EXPECT_FALSE(session->end());
}

// A session of KID (20 minutes left today) that its logon opened.
class ASessionsEnd : public ASession
{
protected:
    void SetUp() override
    {
        table.setStore(&store);
        table.LoadAccounts();
        const Logon kid = table.logOn(QStringLiteral("kid"), QStringLiteral("pw"), Today);
        ASSERT_EQ(kid.outcome, Logon::LoggedOn);
        session = std::make_unique<Session>(table, kid.grant, recorded());
        session->start(true);
        writesAtLogon = store.writes;
    }

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
    int handedOver = 0;
    QObject::connect(session.get(), &Session::handedOver, [&] { ++handedOver; });
    session->setRestart(c.restart);
    session->tick();
    if (c.way == WayOut::Zero) {
        while (session->tick() != Tick::End) {
        }
    } else if (c.way == WayOut::Penalty) {
        ASSERT_TRUE(session->clockChanged());
    } else {
        EXPECT_TRUE(session->end());
    }
    EXPECT_TRUE(session->ended());
    // Every later way out finds the session over.
    session->setRestart(!c.restart);
    EXPECT_FALSE(session->end());
    EXPECT_FALSE(session->endBySignal());
    EXPECT_EQ(log, c.steps);
    EXPECT_EQ(storedLeft(), c.left);
    EXPECT_EQ(store.writes, writesAtLogon + 1);
    EXPECT_EQ(handedOver, 1);
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
    session->tick();
    session->tick();
    EXPECT_TRUE(session->endBySignal());
    EXPECT_FALSE(session->end()) << "the window closing after it adds nothing";
    EXPECT_TRUE(log.isEmpty()) << log.join(u',').toStdString();
    EXPECT_EQ(storedLeft(), 18);
    EXPECT_EQ(store.writes, writesAtLogon + 1);
}

TEST_F(ASessionsEnd, ARemainderThatCannotBeStoredIsReportedBeforeTheLauncherAndStillEnds)
{
    session->tick();
    store.failWrites = true;
    EXPECT_TRUE(session->end());
    EXPECT_EQ(log, (QStringList{QStringLiteral("75"), QStringLiteral("launcher"),
                                QStringLiteral("restart")}));
    EXPECT_EQ(storedLeft(), 0) << "the rest of the day is forfeited";
}

} // namespace
