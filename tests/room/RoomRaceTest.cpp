// Computers of a room in processes of their own, started at the same instant: two logons to one
// account, and a session end against the administrator's save. Each round both computers are
// told what to do, say that they wait, and block on one barrier (a pipe) until the test releases
// both with one write; each answers only when its work is done.
#include "RoomFixture.h"

#include <QProcess>

#include <fcntl.h>
#include <unistd.h>

namespace {

using namespace RoomAccounts;

class RoomRace : public RoomFixture
{
protected:
    void SetUp() override
    {
        RoomFixture::SetUp();
        ASSERT_EQ(::pipe2(m_barrier, O_CLOEXEC), 0);
    }
    void TearDown() override
    {
        for (int fd : m_barrier)
            if (fd >= 0)
                ::close(fd);
        RoomFixture::TearDown();
    }

    // The child finds the barrier's reading end as its file descriptor 3.
    void startChild(QProcess &child, const QString &name)
    {
        const int barrier = m_barrier[0];
        child.setChildProcessModifier([barrier] { ::dup2(barrier, 3); });
        child.start(QStringLiteral(ROOM_CHILD_PATH),
                    {cluster().conninfo(), homes.path() + QLatin1Char('/') + name});
        ASSERT_TRUE(child.waitForStarted(10000));
    }
    static QString answer(QProcess &child)
    {
        while (!child.canReadLine() && child.waitForReadyRead(30000)) {
        }
        return QString::fromUtf8(child.readLine()).trimmed();
    }
    // Both computers get their command, both wait on the barrier, and one write releases both;
    // the answers come back in any order.
    QStringList atOnce(QProcess &a, const QByteArray &forA, QProcess &b, const QByteArray &forB)
    {
        a.write("at-once " + forA + '\n');
        b.write("at-once " + forB + '\n');
        const QString waitingA = answer(a), waitingB = answer(b);
        EXPECT_EQ(waitingA, QStringLiteral("waiting"));
        EXPECT_EQ(waitingB, QStringLiteral("waiting"));
        EXPECT_EQ(::write(m_barrier[1], "gg", 2), 2);
        return {answer(a), answer(b)};
    }

private:
    int m_barrier[2] = {-1, -1};
};

TEST_F(RoomRace, TwoComputersLoggingOnToOneAccountAtOnceGiveExactlyOneSession)
{
    QProcess a, b;
    startChild(a, QStringLiteral("a"));
    startChild(b, QStringLiteral("b"));
    const int rounds = 150;
    const QByteArray logon = "logon BOB PW " + Today.toUtf8();
    for (int round = 0; round < rounds; ++round) {
        put({Admin, {QStringLiteral("BOB"), QStringLiteral("PW"), 3, Yesterday, 3}});
        const QStringList answers = atOnce(a, logon, b, logon);
        ASSERT_EQ(answers.count(QStringLiteral("LoggedOn")), 1)
            << "round " << round << ": " << qPrintable(answers.join(QLatin1Char(' ')));
        ASSERT_EQ(answers.count(QStringLiteral("NoTimeLeft")), 1) << "round " << round;
    }
    a.closeWriteChannel();
    b.closeWriteChannel();
    EXPECT_TRUE(a.waitForFinished(10000) && b.waitForFinished(10000));
}

TEST_F(RoomRace, ASessionEndDuringTheAdministratorsSaveIsNeverLost)
{
    QProcess pc, boss;
    startChild(pc, QStringLiteral("pc"));
    startChild(boss, QStringLiteral("boss"));
    int refused = 0;
    const int rounds = 100;
    for (int round = 0; round < rounds; ++round) {
        put({Admin, {QStringLiteral("KID"), QStringLiteral("PW"), 60, Yesterday, 60}});
        pc.write("logon KID PW " + Today.toUtf8() + '\n');
        ASSERT_EQ(answer(pc), QStringLiteral("LoggedOn"));
        boss.write("reload\n");
        ASSERT_EQ(answer(boss), QStringLiteral("reloaded"));

        const int remainder = round % 59 + 1;
        const QStringList answers =
            atOnce(pc, "end " + QByteArray::number(remainder) + ' ' + Today.toUtf8(), boss, "save");
        const QString &ended = answers.at(0), &saved = answers.at(1);
        ASSERT_EQ(ended, QStringLiteral("ended")) << "round " << round;
        ASSERT_TRUE(saved == QStringLiteral("saved") || saved == QStringLiteral("changed"))
            << qPrintable(saved);
        refused += saved == QStringLiteral("changed");
        // Saved first, the row kept its key and took the remainder after; saved last, the save
        // was refused. Either way the remainder is there.
        ASSERT_EQ(stored().at(1).minsLeft, remainder)
            << "round " << round << ", the save was " << qPrintable(saved);
    }
    std::printf("%d of %d saves were refused\n", refused, rounds);
    pc.closeWriteChannel();
    boss.closeWriteChannel();
    EXPECT_TRUE(pc.waitForFinished(10000) && boss.waitForFinished(10000));
}

} // namespace
