#include "core/rules/AccountTable.h"
#include "core/rules/AppError.h"
#include "tests/support/StoredAccounts.h"

namespace {

class AccountTableStore : public AccountsTest
{
protected:
    AccountTable &table = accountTable;
};

TEST_F(AccountTableStore, EmptyStoreGivesTheFirstRunAdministratorInMemoryOnly)
{
    table.LoadAccounts();
    EXPECT_EQ(table.count(), 1);
    EXPECT_EQ(table.account(1),
              (AccountSlot{QStringLiteral("ADMINISTRATOR"), QStringLiteral("QUIVERLANTERN"), -1,
                           QStringLiteral("01/01/1998"), -1}));
    EXPECT_TRUE(store.section().isEmpty());
    EXPECT_EQ(store.saves, 0);
}

TEST_F(AccountTableStore, FirstSaveWritesExactlyTheFiveKeysOfSlotOneInOrder)
{
    table.LoadAccounts();
    table.SaveAccounts();
    const SettingsStore::KeyValues expected{
        {QStringLiteral("user1"), QStringLiteral("ADMINISTRATOR")},
        {QStringLiteral("pswd1"), QStringLiteral("QUIVERLANTERN")},
        {QStringLiteral("mins1"), QStringLiteral("-1")},
        {QStringLiteral("date1"), QStringLiteral("01/01/1998")},
        {QStringLiteral("left1"), QStringLiteral("-1")},
    };
    EXPECT_EQ(store.lastWrites, expected);
    EXPECT_EQ(store.section().size(), 5);
}

TEST_F(AccountTableStore, AGapInTheUserKeysEndsTheList)
{
    for (int n : {1, 2, 3, 5})
        storeAccount(n, QStringLiteral("U%1").arg(n), QStringLiteral("P"), 60, QString(), 10);
    table.LoadAccounts();
    EXPECT_EQ(table.count(), 3);
    EXPECT_TRUE(table.account(5).userId.isEmpty());
    table.SaveAccounts();
    EXPECT_FALSE(store.section().contains(QStringLiteral("user5")));
    EXPECT_FALSE(store.section().contains(QStringLiteral("left5")));
    EXPECT_EQ(store.section().size(), 15);
}

TEST_F(AccountTableStore, AnEmptyUserKeyEndsTheListLikeAMissingOne)
{
    storeAccount(1, QStringLiteral("A"), QStringLiteral("P"), 60, QString(), 10);
    storeAccount(2, QString(), QStringLiteral("P"), 60, QString(), 10);
    storeAccount(3, QStringLiteral("C"), QStringLiteral("P"), 60, QString(), 10);
    table.LoadAccounts();
    EXPECT_EQ(table.count(), 1);
}

TEST_F(AccountTableStore, TenAccountsLoadAndAnEleventhIsNeverRead)
{
    for (int n = 1; n <= 11; ++n)
        storeAccount(n, QStringLiteral("U%1").arg(n), QStringLiteral("P"), n, QString(), n);
    table.LoadAccounts();
    EXPECT_EQ(table.count(), 10);
    EXPECT_EQ(table.account(10).userId, QStringLiteral("U10"));
    EXPECT_EQ(table.account(10).minsPerDay, 10);
}

TEST_F(AccountTableStore, LoweringTheCountRemovesTheDroppedSlotsFromTheStore)
{
    for (int n = 1; n <= 5; ++n)
        storeAccount(n, QStringLiteral("U%1").arg(n), QStringLiteral("P"), 60, QString(), 1);
    table.LoadAccounts();
    table.setAccounts(table.accounts().mid(0, 2));
    table.SaveAccounts();
    EXPECT_EQ(
        store.section().keys(),
        (QStringList{QStringLiteral("date1"), QStringLiteral("date2"), QStringLiteral("left1"),
                     QStringLiteral("left2"), QStringLiteral("mins1"), QStringLiteral("mins2"),
                     QStringLiteral("pswd1"), QStringLiteral("pswd2"), QStringLiteral("user1"),
                     QStringLiteral("user2")}));
}

TEST_F(AccountTableStore, ACountOfZeroEmptiesTheStoreAndTheNextStartIsAFirstRun)
{
    storeAccount(1, QStringLiteral("A"), QStringLiteral("P"), 60, QString(), 10);
    table.LoadAccounts();
    table.setAccounts({});
    table.SaveAccounts();
    EXPECT_TRUE(store.section().isEmpty());
    table.reset();
    table.LoadAccounts();
    EXPECT_EQ(table.account(1).userId, QStringLiteral("ADMINISTRATOR"));
}

TEST_F(AccountTableStore, NumbersRoundTripAsPlainDecimalText)
{
    const int values[] = {-1, 0, 5, 90, 2147483647, -2147483647 - 1};
    QList<AccountSlot> accounts;
    for (int n = 1; n <= 6; ++n)
        accounts.append({QStringLiteral("U%1").arg(n), QStringLiteral("P"), values[n - 1],
                         QStringLiteral("1/2/2026"), values[n - 1]});
    table.setAccounts(accounts);
    table.SaveAccounts();
    EXPECT_EQ(store.section().value(QStringLiteral("mins1")), QStringLiteral("-1"));
    EXPECT_EQ(store.section().value(QStringLiteral("left2")), QStringLiteral("0"));
    EXPECT_EQ(store.section().value(QStringLiteral("mins4")), QStringLiteral("90"));
    const auto saved = table.accounts();
    table.reset();
    table.LoadAccounts();
    EXPECT_EQ(table.count(), 6);
    EXPECT_EQ(table.accounts(), saved);
}

struct BadNumber
{
    const char *text;
};

class DamagedMinutes : public AccountTableStore, public ::testing::WithParamInterface<BadNumber>
{};

TEST_P(DamagedMinutes, LoadAsZeroNeverAsNoLimit)
{
    storeAccount(1, QStringLiteral("KID"), QStringLiteral("P"), 60, QString(), 10);
    store.set(QStringLiteral("mins1"), QString::fromUtf8(GetParam().text));
    store.set(QStringLiteral("left1"), QString::fromUtf8(GetParam().text));
    table.LoadAccounts();
    EXPECT_EQ(table.account(1).minsPerDay, 0);
    EXPECT_EQ(table.account(1).minsLeft, 0);
}

INSTANTIATE_TEST_SUITE_P(, DamagedMinutes,
                         ::testing::Values(BadNumber{""}, BadNumber{"abc"}, BadNumber{"12abc"},
                                           BadNumber{"1.5"}, BadNumber{"2147483648"},
                                           BadNumber{"-2147483649"},
                                           BadNumber{"99999999999999999999999"},
                                           BadNumber{"0x10"}));

TEST_F(AccountTableStore, AFailedSaveRaisesAnErrorWithNumberAndDescription)
{
    table.LoadAccounts();
    store.failNextSave = true;
    try {
        table.SaveAccounts();
        FAIL() << "no error raised";
    } catch (const AppError &error) {
        EXPECT_EQ(error.number(), 75);
        EXPECT_FALSE(error.description().isEmpty());
    }
}

TEST_F(AccountTableStore, ASessionOpenedByHandIsStoredAsALogonsAndOnlyForASlotInTheTable)
{
    storeAccount(1, QStringLiteral("ADMINISTRATOR"), QStringLiteral("BOSS"), -1, QString(), -1);
    storeAccount(2, QStringLiteral("KID"), QStringLiteral("PW"), 30, QString(), 30);
    table.LoadAccounts();
    const int savesBefore = store.saves;
    for (const int slot : {0, -1, 11, table.count() + 1})
        EXPECT_THROW(table.openSession(slot, 10, QStringLiteral("12/8/2026")), AppError) << slot;
    EXPECT_EQ(store.saves, savesBefore) << "nothing is stored for a slot without an account";

    const SessionGrant grant = table.openSession(2, 10, QStringLiteral("12/8/2026"));
    EXPECT_EQ(grant.userId, table.account(2).userId);
    EXPECT_EQ(grant.minutes, 10);
    EXPECT_FALSE(grant.token.isEmpty());
    EXPECT_EQ(store.section().value(QStringLiteral("left2")), QStringLiteral("0"));
    table.endSession(grant, 7, QStringLiteral("12/8/2026"));
    EXPECT_EQ(store.section().value(QStringLiteral("left2")), QStringLiteral("7"));
    table.endSession(grant, 3, QStringLiteral("12/8/2026"));
    EXPECT_EQ(store.section().value(QStringLiteral("left2")), QStringLiteral("7"))
        << "a session's end is stored once";
}

} // namespace
