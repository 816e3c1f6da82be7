// The rules of one machine across the computers of a room: each computer has its own account
// table, and only the server's rows count.
#include "RoomFixture.h"

#include "core/AppError.h"

namespace {

const QString Today = QStringLiteral("12/8/2026");
const QString Yesterday = QStringLiteral("12/7/2026");

const AccountSlot Admin{AccountTable::AdminId, QStringLiteral("BOSS"), -1, Yesterday, -1};
const AccountSlot Kid{QStringLiteral("KID"), QStringLiteral("PW"), 60, Yesterday, 12};
const AccountSlot Off{QStringLiteral("OFF"), QStringLiteral("PW"), 0, Yesterday, 30};
const AccountSlot Spent{QStringLiteral("SPENT"), QStringLiteral("PW"), 60, Today, 0};
const AccountSlot Half{QStringLiteral("HALF"), QStringLiteral("PW"), 60, Today, 25};

using RoomRules = RoomFixture;

TEST_F(RoomRules, ALogonReadsTheRowFreshAndAppliesTheDayRuleThere)
{
    put({Admin, Kid, Off, Spent, Half});
    // Both computers read the table before either logs on: the second one's copy is stale.
    Computer first(computer(QStringLiteral("first")));
    Computer second(computer(QStringLiteral("second")));

    const AccountTable::LogOn kid =
        first.table.logOn(QStringLiteral("KID"), QStringLiteral("PW"), Today);
    ASSERT_EQ(kid.outcome, AccountTable::LogOn::LoggedOn);
    EXPECT_EQ(first.table.sessionMinutes(), 60) << "a new day gives the whole allowance";
    EXPECT_EQ(stored().at(1), (AccountSlot{Kid.userId, Kid.password, 60, Today, 0}));

    const AccountTable::LogOn again =
        second.table.logOn(QStringLiteral("KID"), QStringLiteral("PW"), Today);
    EXPECT_EQ(again.outcome, AccountTable::LogOn::NoTimeLeft);
    EXPECT_EQ(again.refusal, AccountTable::NoTimeLeftText);

    EXPECT_EQ(second.table.logOn(QStringLiteral("OFF"), QStringLiteral("PW"), Today).refusal,
              AccountTable::DisabledText);
    EXPECT_EQ(second.table.logOn(QStringLiteral("SPENT"), QStringLiteral("PW"), Today).outcome,
              AccountTable::LogOn::NoTimeLeft);
    EXPECT_EQ(second.table.logOn(QStringLiteral("KID"), QStringLiteral("NO"), Today).refusal,
              AccountTable::InvalidText);
    const qint64 before = admin->load().version;
    EXPECT_EQ(second.table.logOn(QStringLiteral("HALF"), QStringLiteral("PW"), Today).outcome,
              AccountTable::LogOn::LoggedOn);
    EXPECT_EQ(second.table.sessionMinutes(), 25) << "the same day continues with what is left";
    EXPECT_EQ(admin->load().version, before + 1) << "a logon that stands changes the version";

    const AccountTable::LogOn boss =
        second.table.logOn(AccountTable::AdminId, QStringLiteral("BOSS"), Today);
    EXPECT_TRUE(boss.administrator);
    EXPECT_EQ(stored().at(0).minsLeft, -1);
}

TEST_F(RoomRules, AnEmptyRoomHasTheFirstRunAdministratorUntilItLogsOn)
{
    Computer pc(computer());
    EXPECT_EQ(pc.table.count(), 0) << "nothing is read from the server before a logon";
    const AccountStore::Table empty = admin->load();
    ASSERT_EQ(empty.accounts.size(), 1);
    EXPECT_EQ(empty.accounts.at(0).userId, AccountTable::AdminId);
    ASSERT_EQ(pc.table.logOn(AccountTable::AdminId, AccountTable::FirstRunPassword, Today).outcome,
              AccountTable::LogOn::LoggedOn);
    EXPECT_EQ(stored(), (QList<AccountSlot>{{AccountTable::AdminId, AccountTable::FirstRunPassword,
                                             -1, Today, -1}}));
}

TEST_F(RoomRules, SessionEndAndPasswordFindTheirRowByKeyAndTouchNothingElse)
{
    put({Admin, Kid, Half});
    Computer pc(computer(QStringLiteral("pc")));
    ASSERT_EQ(pc.table.logOn(QStringLiteral("KID"), QStringLiteral("PW"), Today).outcome,
              AccountTable::LogOn::LoggedOn);
    pc.table.startSession();

    // The administrator moves KID from slot 2 to slot 3 and changes HALF, on another computer.
    Computer boss(computer(QStringLiteral("boss")));
    QList<AccountSlot> moved{
        Admin, AccountSlot{QStringLiteral("NEW"), QStringLiteral("X"), 5, Yesterday, 5},
        stored().at(1), AccountSlot{Half.userId, Half.password, 90, Today, 80}};
    put(moved);

    pc.table.changePassword(QStringLiteral("secret"));
    pc.table.endSession(17, Today);
    moved[2].password = QStringLiteral("SECRET");
    moved[2].minsLeft = 17;
    EXPECT_EQ(stored(), moved);

    // Ended once: a second end of the same session stores nothing, even after a later logon.
    ASSERT_EQ(boss.table.logOn(QStringLiteral("KID"), QStringLiteral("SECRET"), Today).outcome,
              AccountTable::LogOn::LoggedOn);
    pc.table.endSession(40, Today);
    EXPECT_EQ(stored().at(2).minsLeft, 0);
}

TEST_F(RoomRules, AnAccountDeletedOrRenamedMeanwhileTakesNothingFromTheSessionEnd)
{
    for (const char *change : {"deleted", "renamed"}) {
        SCOPED_TRACE(change);
        put({Admin, Kid, Half});
        Computer pc(computer());
        ASSERT_EQ(pc.table.logOn(QStringLiteral("KID"), QStringLiteral("PW"), Today).outcome,
                  AccountTable::LogOn::LoggedOn);
        const QList<AccountSlot> after =
            change == std::string("deleted")
                ? QList<AccountSlot>{Admin, Half}
                : QList<AccountSlot>{
                      Admin, {QStringLiteral("KIDS"), Kid.password, 60, Today, 0}, Half};
        put(after);
        pc.table.changePassword(QStringLiteral("other"));
        pc.table.endSession(33, Today);
        EXPECT_EQ(stored(), after);
    }
}

TEST_F(RoomRules, TheAdministratorsSaveIsRefusedWhenTheTableChangedSinceTheGridWasFilled)
{
    put({Admin, Kid});
    Computer boss(computer(QStringLiteral("boss")));
    Computer pc(computer(QStringLiteral("pc")));
    ASSERT_TRUE(
        boss.table.logOn(AccountTable::AdminId, QStringLiteral("BOSS"), Today).administrator);
    ASSERT_EQ(pc.table.logOn(QStringLiteral("KID"), QStringLiteral("PW"), Today).outcome,
              AccountTable::LogOn::LoggedOn);
    pc.table.endSession(21, Today);

    QList<AccountTable::GridRow> grid{{false, AccountTable::AdminId, QStringLiteral("BOSS"),
                                       QStringLiteral("-1"), QStringLiteral("-1"), Today},
                                      {false, QStringLiteral("KID"), QStringLiteral("PW"),
                                       QStringLiteral("90"), QStringLiteral("12"), Yesterday}};
    const QList<AccountSlot> before = stored();
    EXPECT_FALSE(boss.table.replaceWithGrid(grid));
    EXPECT_EQ(stored(), before) << "nothing is written";
    EXPECT_EQ(stored().at(1).minsLeft, 21) << "the session's remainder is not lost";

    boss.table.reload();
    EXPECT_EQ(boss.table.account(2).minsLeft, 21);
    EXPECT_TRUE(boss.table.replaceWithGrid(grid));
    EXPECT_EQ(stored().at(1).minsPerDay, 90);
    // Saved as read: the administrator's next save goes through without a reload.
    grid[1].mins = QStringLiteral("45");
    EXPECT_TRUE(boss.table.replaceWithGrid(grid));
    EXPECT_EQ(stored().at(1).minsPerDay, 45);
}

} // namespace
