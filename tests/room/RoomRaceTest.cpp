// Computers of a room in processes of their own, at the same instant: two logons to one account,
// and a session end against the administrator's save.
#include "RoomFixture.h"

#include <QProcess>

namespace {

const QString Today = QStringLiteral("12/8/2026");
const QString Yesterday = QStringLiteral("12/7/2026");
const AccountSlot Admin{AccountTable::AdminId, QStringLiteral("BOSS"), -1, Yesterday, -1};

class RoomRace : public RoomFixture
{
protected:
    void startChild(QProcess &child, const QString &name)
    {
        child.start(QStringLiteral(ROOM_CHILD_PATH),
                    {cluster().conninfo(), homes.path() + QLatin1Char('/') + name});
        ASSERT_TRUE(child.waitForStarted(10000));
    }
    static QString answer(QProcess &child)
    {
        if (!child.canReadLine())
            child.waitForReadyRead(30000);
        while (!child.canReadLine() && child.waitForReadyRead(30000)) {
        }
        return QString::fromUtf8(child.readLine()).trimmed();
    }
    // Both computers are told at once; the answers come back in any order.
    static QStringList both(QProcess &a, QProcess &b, const QByteArray &command)
    {
        a.write(command + '\n');
        b.write(command + '\n');
        return {answer(a), answer(b)};
    }
};

TEST_F(RoomRace, TwoComputersLoggingOnToOneAccountAtOnceGiveExactlyOneSession)
{
    QProcess a, b;
    startChild(a, QStringLiteral("a"));
    startChild(b, QStringLiteral("b"));
    const int rounds = 150;
    for (int round = 0; round < rounds; ++round) {
        put({Admin, {QStringLiteral("BOB"), QStringLiteral("PW"), 3, Yesterday, 3}});
        const QStringList answers = both(a, b, "logon BOB PW " + Today.toUtf8());
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
    const int rounds = 60;
    for (int round = 0; round < rounds; ++round) {
        put({Admin, {QStringLiteral("KID"), QStringLiteral("PW"), 60, Yesterday, 60}});
        pc.write("logon KID PW " + Today.toUtf8() + '\n');
        ASSERT_EQ(answer(pc), QStringLiteral("LoggedOn"));
        boss.write("reload\n");
        ASSERT_EQ(answer(boss), QStringLiteral("reloaded"));

        const int remainder = round % 59 + 1;
        // Mostly told at the same instant; every third round the save is made to come first,
        // so that both ways through are taken.
        const QByteArray end = "end " + QByteArray::number(remainder) + ' ' + Today.toUtf8() + '\n';
        QString saved;
        if (round % 3 == 0) {
            boss.write("save\n");
            saved = answer(boss);
            pc.write(end);
        } else {
            boss.write("save\n");
            pc.write(end);
        }
        const QString ended = answer(pc);
        if (saved.isEmpty())
            saved = answer(boss);
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
