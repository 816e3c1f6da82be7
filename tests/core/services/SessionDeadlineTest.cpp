#include "core/rules/SessionDeadline.h"
#include "core/rules/AccountTable.h"
#include "core/rules/Session.h"
#include "core/services/SessionDeadlineWatch.h"
#include "core/services/StartedPrograms.h"
#include "tests/support/MemoryAccountStore.h"

#include <QCoreApplication>
#include <QProcess>
#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <thread>

namespace {

using namespace std::chrono_literals;
using Clock = SessionDeadline::Clock;

const Clock::time_point Start = Clock::time_point() + 1000h;

TEST(TheSessionDeadline, IsTheSessionsMinutesFromTheStartWithAFewSecondsGrace)
{
    SessionDeadline deadline;
    EXPECT_FALSE(deadline.overdueAt());
    deadline.start(Start, 30);
    EXPECT_EQ(deadline.deadline(), Start + 30min);
    EXPECT_EQ(deadline.overdueAt(), Start + 30min + 5s);
    EXPECT_FALSE(deadline.overdue(Start + 30min + 4s));
    EXPECT_TRUE(deadline.overdue(Start + 30min + 5s));
}

TEST(TheSessionDeadline, ComesForwardWithTheCountdownButIsNeverPushedBack)
{
    SessionDeadline deadline;
    deadline.start(Start, 10);
    // Ticks that come late (the window thread held up) give no time back.
    deadline.shorten(Start + 3min, 9);
    EXPECT_EQ(deadline.deadline(), Start + 10min);
    deadline.shorten(Start + 61s, 9);
    EXPECT_EQ(deadline.deadline(), Start + 10min);
    // The clock-change penalty: nothing left from now on.
    deadline.shorten(Start + 2min, 0);
    EXPECT_EQ(deadline.deadline(), Start + 2min);
    deadline.shorten(Start + 3min, -4);
    EXPECT_EQ(deadline.deadline(), Start + 2min);
    deadline.clear();
    EXPECT_FALSE(deadline.overdue(Start + 100h));
}

TEST(TheSessionDeadline, IsNoneForASessionWithoutLimitOrWithoutMinutes)
{
    for (qint32 minutes : {-1, 0, -7}) {
        SessionDeadline deadline;
        deadline.start(Start, 5);
        deadline.start(Start, minutes);
        deadline.shorten(Start, 0);
        EXPECT_FALSE(deadline.deadline()) << minutes;
        EXPECT_FALSE(deadline.overdue(Start + 100h)) << minutes;
    }
}

TEST(TheSessionDeadlineWatch, EndsAnOverdueSessionOnItsOwnThreadOnceWithTheChosenAction)
{
    std::atomic<int> calls = 0;
    std::atomic<bool> restartAsked = true;
    std::atomic<bool> onOtherThread = false;
    const std::thread::id self = std::this_thread::get_id();
    const auto started = Clock::now();
    std::atomic<Clock::rep> calledAfter = 0;
    SessionDeadlineWatch watch([&](bool restart) {
        calledAfter = (Clock::now() - started).count();
        restartAsked = restart;
        onOtherThread = std::this_thread::get_id() != self;
        ++calls;
    });
    watch.start(1, true);
    watch.setRestart(false);
    // The clock-change penalty: due now, overdue in five seconds.
    watch.shorten(0);
    // This thread is busy meanwhile and takes no part.
    std::this_thread::sleep_for(4500ms);
    EXPECT_EQ(calls, 0);
    std::this_thread::sleep_for(1500ms);
    EXPECT_EQ(calls, 1);
    EXPECT_FALSE(restartAsked);
    EXPECT_TRUE(onOtherThread);
    EXPECT_GE(Clock::duration(calledAfter.load()), 5s);
    EXPECT_FALSE(watch.deadline().deadline());
}

TEST(TheSessionDeadlineWatch, StaysQuietForASessionThatEndedItsOwnWay)
{
    std::atomic<int> calls = 0;
    {
        SessionDeadlineWatch watch([&](bool) { ++calls; });
        watch.start(1, true);
        watch.shorten(0);
        watch.clear();
        std::this_thread::sleep_for(5500ms);
    }
    EXPECT_EQ(calls, 0);
}

TEST(StartedPrograms, KnowAProgramAndWhatItStartedOnlyWhileItRuns)
{
    StartedPrograms::clear();
    QProcess shell;
    // A shell that starts a child of its own and waits for it.
    shell.start(QStringLiteral("sh"),
                {QStringLiteral("-c"), QStringLiteral("sleep 30 & echo $!; wait")});
    ASSERT_TRUE(shell.waitForReadyRead(5000));
    const qint64 child = shell.readAllStandardOutput().trimmed().toLongLong();
    ASSERT_GT(child, 0);
    EXPECT_FALSE(StartedPrograms::includes(shell.processId()));
    EXPECT_FALSE(StartedPrograms::includes(child));

    StartedPrograms::add(shell.processId());
    EXPECT_TRUE(StartedPrograms::includes(shell.processId()));
    EXPECT_TRUE(StartedPrograms::includes(child));
    // Nor this program, which started it.
    EXPECT_FALSE(StartedPrograms::includes(QCoreApplication::applicationPid()));

    shell.kill();
    shell.waitForFinished(5000);
    EXPECT_FALSE(StartedPrograms::includes(shell.processId()));
    // Its child is the machine's now, no longer below a started program.
    EXPECT_FALSE(StartedPrograms::includes(child));
    QProcess::execute(QStringLiteral("kill"), {QString::number(child)});
    StartedPrograms::clear();
}

// The deadline follows the session's countdown.
TEST(ASessionsDeadline, FollowsTheCountdownAndThePenalty)
{
    std::atomic<int> overdue{0};
    SessionDeadlineWatch watch([&overdue](bool) { ++overdue; });
    MemoryAccountStore store({{QStringLiteral("KID"), QStringLiteral("PW"), 60, QString(), 60}});
    AccountTable table;
    table.setStore(&store);
    table.LoadAccounts();
    Session session(table, table.openSession(1, 10, QStringLiteral("12/8/2026")), {}, &watch);

    const Clock::time_point before = Clock::now();
    session.start(false);
    Clock::time_point after = Clock::now();
    std::optional<Clock::time_point> due = watch.deadline().deadline();
    ASSERT_TRUE(due);
    EXPECT_GE(*due, before + 10min);
    EXPECT_LE(*due, after + 10min);
    EXPECT_FALSE(watch.deadline().restart());
    session.setRestart(true);
    EXPECT_TRUE(watch.deadline().restart());

    // Each minute brings the deadline forward to what is left.
    session.tick();
    after = Clock::now();
    due = watch.deadline().deadline();
    ASSERT_TRUE(due);
    EXPECT_LE(*due, after + 9min);

    // The penalty leaves nothing from now on, and ends the session: its power action is asked
    // for, with the deadline as the last resort should that not end the program.
    const Clock::time_point penalty = Clock::now();
    ASSERT_TRUE(session.clockChanged());
    EXPECT_TRUE(session.ended());
    due = watch.deadline().deadline();
    ASSERT_TRUE(due);
    EXPECT_GE(*due, penalty);
    EXPECT_LE(*due, Clock::now());
    EXPECT_EQ(overdue.load(), 0) << "the window has its grace first";
    watch.clear();
}

TEST(ASessionsDeadline, IsNoneForASessionWithoutLimit)
{
    SessionDeadlineWatch watch([](bool) {});
    AccountTable table;
    SessionGrant grant;
    grant.minutes = -1;
    Session session(table, grant, {}, &watch);
    session.start(true);
    EXPECT_FALSE(watch.deadline().deadline());
    session.tick();
    EXPECT_FALSE(watch.deadline().deadline()) << "the countdown gives it none";
}

} // namespace
