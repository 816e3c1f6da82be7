// A computer of the room killed outright (SIGKILL) at a random instant, again and again, while
// it saves the table or logs on and off: the room's table is always one whole version, and the
// next computer is not held up by what the killed one left.
#include "RoomFixture.h"

#include "tests/support/KilledSaver.h"

namespace {

using RoomKill = RoomFixture;

TEST_F(RoomKill, ASaveKilledInsideItsTransactionLeavesOneWholeTable)
{
    const QByteArray conninfo = cluster().conninfo().toUtf8();
    const QByteArray journal = (homes.path() + QStringLiteral("/killed")).toUtf8();
    for (int round = 0; round < 25; ++round) {
        ASSERT_TRUE(runAndKillAtRandom(ROOM_CHILD_PATH, {conninfo, journal, "loop-save"}))
            << "round " << round;
        const QList<AccountSlot> table = stored();
        if (table.size() == 1 && table.at(0).password == AccountTable::FirstRunPassword)
            continue; // killed before its first save
        ASSERT_TRUE(table.size() == 3 || table.size() == 7) << "round " << round;
        const int v = table.size() == 3 ? 0 : 1;
        for (int n = 1; n <= table.size(); ++n) {
            const AccountSlot expected{QStringLiteral("V%1USER%2").arg(v).arg(n),
                                       QStringLiteral("PW%1").arg(n), 60 + v,
                                       QStringLiteral("1/%1/2026").arg(v + 1), n + 100 * v};
            ASSERT_EQ(table.at(n - 1), expected) << "round " << round << ", slot " << n;
        }
    }
}

TEST_F(RoomKill, ASessionKilledInsideItsTransactionsLeavesTheRowWhole)
{
    const AccountSlot admin{AccountTable::AdminId, QStringLiteral("BOSS"), -1, {}, -1};
    put({admin, {QStringLiteral("KID"), QStringLiteral("PW"), 60, QStringLiteral("1/1/2026"), 60}});
    const QByteArray conninfo = cluster().conninfo().toUtf8();
    const QByteArray journal = (homes.path() + QStringLiteral("/killed")).toUtf8();
    for (int round = 0; round < 25; ++round) {
        ASSERT_TRUE(runAndKillAtRandom(ROOM_CHILD_PATH, {conninfo, journal, "loop-session"}))
            << "round " << round;
        const QList<AccountSlot> table = stored();
        ASSERT_EQ(table.size(), 2);
        ASSERT_EQ(table.at(0), admin);
        const AccountSlot &kid = table.at(1);
        ASSERT_EQ(kid.minsPerDay, 60);
        // Logged on (0 left) or ended (the remainder the child gave for that day); never a row
        // whose date and minutes come from two different writes.
        const int day = kid.lastDate.section(QLatin1Char('/'), 1, 1).toInt();
        ASSERT_TRUE(kid.lastDate == QStringLiteral("1/1/2026") ||
                    (kid.lastDate.endsWith(QStringLiteral("/2026")) && day >= 1 && day <= 28))
            << qPrintable(kid.lastDate);
        ASSERT_GE(kid.minsLeft, 0);
        ASSERT_LE(kid.minsLeft, 60);
        // The killed program holds no lock: a logon here goes through at once.
        Computer next(computer());
        const Logon logOn =
            next.logOn(QStringLiteral("KID"), QStringLiteral("PW"), QStringLiteral("3/1/2026"));
        ASSERT_EQ(logOn.outcome, Logon::LoggedOn) << "round " << round;
        next.endSession(60, QStringLiteral("1/1/2026"));
    }
}

} // namespace
