// Rows that no TimoraDesk wrote (NULLs, slots out of range, eleven rows, two rows on one slot,
// texts of megabytes) load by the same rules as a hostile settings file: the room's table is
// what the file with the same keys gives.
#include "RoomFixture.h"

#include "core/rules/FileAccountStore.h"
#include "tests/support/MemorySettingsStore.h"

namespace {

using RoomHostile = RoomFixture;

TEST_F(RoomHostile, RowsLoadAsTheSameKeysOfAFileLoad)
{
    const int big = 3 * 1024 * 1024;
    ASSERT_TRUE(cluster().psql(
        QStringLiteral("INSERT INTO accounts (slot, userid, pswd, mins, date, lft) VALUES "
                       "(1, 'ADMINISTRATOR', 'BOSS', '-1', NULL, '-1'),"
                       "(-3, 'NEGATIVE', 'PW', '60', NULL, '60'),"
                       "(NULL, 'NOSLOT', 'PW', '60', NULL, '60'),"
                       "(2, 'KID', NULL, 'abc', NULL, NULL),"
                       "(2, 'LATER', 'PW', '99', NULL, '99'),"
                       "(3, 'BIG', repeat('X', %1), '99999999999', NULL, '-1' || chr(1)),"
                       "(4, 'U4', 'PW', ' 7 ', '1/1/2026', '+5')")
            .arg(big)));
    QString rows;
    for (int slot = 5; slot <= 11; ++slot)
        rows += QStringLiteral("%1(%2, 'U%2', 'PW', '%2', NULL, '%2')")
                    .arg(slot == 5 ? QString() : QStringLiteral(","))
                    .arg(slot);
    ASSERT_TRUE(cluster().psql(
        QStringLiteral("INSERT INTO accounts (slot, userid, pswd, mins, date, lft) VALUES ") +
        rows));

    MemorySettingsStore file;
    const auto slot = [&](int n, const QString &user, const QString &pswd, const QString &mins,
                          const QString &date, const QString &left) {
        file.set(AccountTable::key("user", n), user);
        file.set(AccountTable::key("pswd", n), pswd);
        file.set(AccountTable::key("mins", n), mins);
        file.set(AccountTable::key("date", n), date);
        file.set(AccountTable::key("left", n), left);
    };
    slot(1, AccountTable::AdminId, QStringLiteral("BOSS"), QStringLiteral("-1"), {},
         QStringLiteral("-1"));
    slot(2, QStringLiteral("KID"), {}, QStringLiteral("abc"), {}, {});
    slot(3, QStringLiteral("BIG"), QString(big, QLatin1Char('X')), QStringLiteral("99999999999"),
         {}, QStringLiteral("-1\x01"));
    slot(4, QStringLiteral("U4"), QStringLiteral("PW"), QStringLiteral(" 7 "),
         QStringLiteral("1/1/2026"), QStringLiteral("+5"));
    for (int n = 5; n <= 10; ++n)
        slot(n, QStringLiteral("U%1").arg(n), QStringLiteral("PW"), QString::number(n), {},
             QString::number(n));

    const AccountStore::Table room = admin->load();
    const QList<AccountSlot> expected = FileAccountStore::readSection(file);
    ASSERT_EQ(room.accounts.size(), AccountTable::MaxAccounts);
    EXPECT_EQ(room.accounts, expected);
    EXPECT_EQ(room.accounts.at(2).minsLeft, 0) << "a damaged number never reads as unlimited";

    Computer pc(computer());
    EXPECT_EQ(pc.logOn(QStringLiteral("U11"), QStringLiteral("PW"), QStringLiteral("x")).outcome,
              Logon::Invalid)
        << "an eleventh row is no account";
    EXPECT_EQ(
        pc.logOn(QStringLiteral("NEGATIVE"), QStringLiteral("PW"), QStringLiteral("x")).outcome,
        Logon::Invalid);
    EXPECT_EQ(pc.table
                  .logOn(QStringLiteral("BIG"), QString(big, QLatin1Char('X')),
                         QStringLiteral("2/2/2026"))
                  .outcome,
              Logon::Disabled)
        << "minutes out of range read as 0, which disables the account";
    ASSERT_EQ(
        pc.logOn(QStringLiteral("U4"), QStringLiteral("PW"), QStringLiteral("1/1/2026")).outcome,
        Logon::LoggedOn);
    EXPECT_EQ(pc.session.minutes, 5);
}

} // namespace
