// The rules of one machine across the computers of a room: each computer has its own account
// table, and only the server's rows count.
#include "RoomFixture.h"

#include "core/rules/AppError.h"

#include <QSet>

namespace {

using namespace RoomAccounts;

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

    const Logon kid = first.logOn(QStringLiteral("KID"), QStringLiteral("PW"), Today);
    ASSERT_EQ(kid.outcome, Logon::LoggedOn);
    EXPECT_EQ(first.session.minutes, 60) << "a new day gives the whole allowance";
    EXPECT_EQ(stored().at(1), (AccountSlot{Kid.userId, Kid.password, 60, Today, 0}));

    const Logon again = second.logOn(QStringLiteral("KID"), QStringLiteral("PW"), Today);
    EXPECT_EQ(again.outcome, Logon::NoTimeLeft);
    EXPECT_EQ(again.refusal, AccountTable::NoTimeLeftText);

    EXPECT_EQ(second.logOn(QStringLiteral("OFF"), QStringLiteral("PW"), Today).refusal,
              AccountTable::DisabledText);
    EXPECT_EQ(second.logOn(QStringLiteral("SPENT"), QStringLiteral("PW"), Today).outcome,
              Logon::NoTimeLeft);
    EXPECT_EQ(second.logOn(QStringLiteral("KID"), QStringLiteral("NO"), Today).refusal,
              AccountTable::InvalidText);
    const qint64 before = admin->load().version;
    EXPECT_EQ(second.logOn(QStringLiteral("HALF"), QStringLiteral("PW"), Today).outcome,
              Logon::LoggedOn);
    EXPECT_EQ(second.session.minutes, 25) << "the same day continues with what is left";
    EXPECT_EQ(admin->load().version, before + 1) << "a logon that stands changes the version";

    const Logon boss = second.logOn(AccountTable::AdminId, QStringLiteral("BOSS"), Today);
    EXPECT_TRUE(boss.administrator());
    EXPECT_EQ(stored().at(0).minsLeft, -1);
}

TEST_F(RoomRules, AnEmptyRoomHasTheFirstRunAdministratorUntilItLogsOn)
{
    Computer pc(computer());
    EXPECT_EQ(pc.table.count(), 0) << "nothing is read from the server before a logon";
    const AccountStore::Table empty = admin->load();
    ASSERT_EQ(empty.accounts.size(), 1);
    EXPECT_EQ(empty.accounts.at(0).userId, AccountTable::AdminId);
    ASSERT_EQ(pc.logOn(AccountTable::AdminId, AccountTable::FirstRunPassword, Today).outcome,
              Logon::LoggedOn);
    EXPECT_EQ(stored(), (QList<AccountSlot>{{AccountTable::AdminId, AccountTable::FirstRunPassword,
                                             -1, Today, -1}}));
}

TEST_F(RoomRules, SessionEndAndPasswordFindTheirRowByKeyAndTouchNothingElse)
{
    put({Admin, Kid, Half});
    Computer pc(computer(QStringLiteral("pc")));
    ASSERT_EQ(pc.logOn(QStringLiteral("KID"), QStringLiteral("PW"), Today).outcome,
              Logon::LoggedOn);

    // The administrator moves KID from slot 2 to slot 3 and changes HALF, on another computer.
    Computer boss(computer(QStringLiteral("boss")));
    QList<AccountSlot> moved{
        Admin, AccountSlot{QStringLiteral("NEW"), QStringLiteral("X"), 5, Yesterday, 5},
        stored().at(1), AccountSlot{Half.userId, Half.password, 90, Today, 80}};
    put(moved);

    pc.changePassword(QStringLiteral("secret"));
    pc.endSession(17, Today);
    moved[2].password = QStringLiteral("SECRET");
    moved[2].minsLeft = 17;
    EXPECT_EQ(stored(), moved);

    // Ended once: a second end of the same session stores nothing, even after a later logon.
    ASSERT_EQ(boss.logOn(QStringLiteral("KID"), QStringLiteral("SECRET"), Today).outcome,
              Logon::LoggedOn);
    pc.endSession(40, Today);
    EXPECT_EQ(stored().at(2).minsLeft, 0);
}

TEST_F(RoomRules, AnAccountDeletedOrRenamedMeanwhileTakesNothingFromTheSessionEnd)
{
    for (const char *change : {"deleted", "renamed"}) {
        SCOPED_TRACE(change);
        put({Admin, Kid, Half});
        Computer pc(computer());
        ASSERT_EQ(pc.logOn(QStringLiteral("KID"), QStringLiteral("PW"), Today).outcome,
                  Logon::LoggedOn);
        const QList<AccountSlot> after =
            change == std::string("deleted")
                ? QList<AccountSlot>{Admin, Half}
                : QList<AccountSlot>{
                      Admin, {QStringLiteral("KIDS"), Kid.password, 60, Today, 0}, Half};
        put(after);
        pc.changePassword(QStringLiteral("other"));
        pc.endSession(33, Today);
        EXPECT_EQ(stored(), after);
    }
}

TEST_F(RoomRules, TheAdministratorsSaveIsRefusedWhenTheTableChangedSinceTheGridWasFilled)
{
    put({Admin, Kid});
    Computer boss(computer(QStringLiteral("boss")));
    Computer pc(computer(QStringLiteral("pc")));
    ASSERT_TRUE(boss.logOn(AccountTable::AdminId, QStringLiteral("BOSS"), Today).administrator());
    ASSERT_EQ(pc.logOn(QStringLiteral("KID"), QStringLiteral("PW"), Today).outcome,
              Logon::LoggedOn);
    pc.endSession(21, Today);

    QList<AccountTable::GridRow> grid{{false, AccountTable::AdminId, QStringLiteral("BOSS"),
                                       QStringLiteral("-1"), QStringLiteral("-1"), Today},
                                      {false, QStringLiteral("KID"), QStringLiteral("PW"),
                                       QStringLiteral("90"), QStringLiteral("12"), Yesterday}};
    const QList<AccountSlot> before = stored();
    EXPECT_EQ(boss.table.replaceWithGrid(grid), AccountTable::GridSave::ChangedElsewhere);
    EXPECT_EQ(stored(), before) << "nothing is written";
    EXPECT_EQ(stored().at(1).minsLeft, 21) << "the session's remainder is not lost";

    boss.table.reload();
    EXPECT_EQ(boss.table.account(2).minsLeft, 21);
    EXPECT_EQ(boss.table.replaceWithGrid(grid), AccountTable::GridSave::Saved);
    EXPECT_EQ(stored().at(1).minsPerDay, 90);
    // Saved as read: the administrator's next save goes through without a reload.
    grid[1].mins = QStringLiteral("45");
    EXPECT_EQ(boss.table.replaceWithGrid(grid), AccountTable::GridSave::Saved);
    EXPECT_EQ(stored().at(1).minsPerDay, 45);
}

} // namespace

namespace {

TEST_F(RoomRules, ADamagedFirstRowNeverOffersTheFirstRunAdministrator)
{
    put({Admin, Kid, Half});
    ASSERT_TRUE(cluster().psql(QStringLiteral("UPDATE accounts SET userid = '' WHERE slot = 1")));
    const QList<AccountSlot> before = stored();
    Computer pc(computer());
    EXPECT_EQ(pc.table.count(), 0);
    EXPECT_EQ(pc.logOn(AccountTable::AdminId, AccountTable::FirstRunPassword, Today).outcome,
              Logon::Invalid);
    EXPECT_EQ(stored(), before) << "no logon replaced the table";
    EXPECT_EQ(admin->load().keys.size(), 0);

    // Only a room without any account has the first-run administrator.
    ASSERT_TRUE(cluster().psql(QStringLiteral("DELETE FROM accounts")));
    Computer fresh(computer(QStringLiteral("fresh")));
    EXPECT_EQ(fresh.logOn(AccountTable::AdminId, AccountTable::FirstRunPassword, Today).outcome,
              Logon::LoggedOn);
    ASSERT_EQ(fresh.table.count(), 1);
}

TEST_F(RoomRules, RowsWithKeysSetByHandDoNotBreakTheAdministratorsSave)
{
    put({Admin});
    // Keys the identity's sequence will hand out next, set by hand.
    ASSERT_TRUE(cluster().psql(
        QStringLiteral("INSERT INTO accounts (id, slot, userid, pswd, mins, lft) VALUES "
                       "(2, 2, 'HAND', 'PW', '5', '5'), (3, 3, 'MADE', 'PW', '5', '5')")));
    const AccountStore::Table before = admin->load();
    const QList<AccountSlot> next{Admin,
                                  before.accounts.at(1),
                                  before.accounts.at(2),
                                  {QStringLiteral("NEW1"), QStringLiteral("PW"), 30, Today, 30},
                                  {QStringLiteral("NEW2"), QStringLiteral("PW"), 30, Today, 30}};
    const std::optional<AccountStore::Table> saved =
        admin->replaceIfUnchanged(next, before.version);
    ASSERT_TRUE(saved.has_value());
    EXPECT_EQ(stored(), next);
    const QList<qint64> keys = saved->keys;
    EXPECT_EQ(QSet<qint64>(keys.begin(), keys.end()).size(), 5) << "every key is its own";
    EXPECT_EQ(keys.at(1), 2) << "kept accounts keep their keys";
}

TEST_F(RoomRules, TheAdministratorsRemainingForAnAccountInASessionIsWhatStays)
{
    put({Admin, Kid});
    Computer pc(computer(QStringLiteral("pc")));
    ASSERT_EQ(pc.logOn(QStringLiteral("KID"), QStringLiteral("PW"), Today).outcome,
              Logon::LoggedOn);
    Computer boss(computer(QStringLiteral("boss")));
    // The administrator's logon brings the table to his computer.
    boss.table.reload();
    QList<AccountTable::GridRow> grid{{false, AccountTable::AdminId, QStringLiteral("BOSS"),
                                       QStringLiteral("-1"), QStringLiteral("-1"), Yesterday},
                                      {false, QStringLiteral("KID"), QStringLiteral("PW"),
                                       QStringLiteral("60"), QStringLiteral("0"), Today}};
    // Saved with the Remaining as read (0 while the session runs): the session's end counts.
    ASSERT_EQ(boss.table.replaceWithGrid(grid), AccountTable::GridSave::Saved);
    pc.endSession(25, Today);
    EXPECT_EQ(stored().at(1).minsLeft, 25);

    ASSERT_EQ(pc.logOn(QStringLiteral("KID"), QStringLiteral("PW"), Today).outcome,
              Logon::LoggedOn);
    boss.table.reload();
    grid[1].left = QStringLiteral("45");
    ASSERT_EQ(boss.table.replaceWithGrid(grid), AccountTable::GridSave::Saved);
    pc.endSession(3, Today);
    EXPECT_EQ(stored().at(1).minsLeft, 45) << "the administrator's value is kept";
}

} // namespace
