#pragma once

// What every account store does, whatever it keeps the accounts in: the same tests run against
// each backend. A backend is a test fixture that offers
//   AccountStore &store();                           the store under test
//   void put(const QList<AccountSlot> &accounts);    the store holds exactly these accounts
//   QList<AccountSlot> stored();                     what a fresh reader of the store finds
//   void changeElsewhere(const QList<AccountSlot> &); someone else replaces the table
//   void failWrites(bool fail);                      the store's writes fail while set
#include "core/rules/AccountStore.h"
#include "core/rules/AccountTable.h"
#include "core/rules/AppError.h"

#include <gtest/gtest.h>

namespace StoreContract {
inline const QString Today = QStringLiteral("12/8/2026");
inline const QString Yesterday = QStringLiteral("12/7/2026");
inline const AccountSlot Admin{AccountTable::AdminId, QStringLiteral("BOSS"), -1, Yesterday, -1};
inline const AccountSlot Kid{QStringLiteral("KID"), QStringLiteral("PW"), 60, Yesterday, 12};
} // namespace StoreContract

template<class Backend> class AccountStoreContract : public Backend
{
protected:
    // The store holds accounts and has been read once, as a program does before a logon.
    AccountStore::Table begin(const QList<AccountSlot> &accounts)
    {
        this->put(accounts);
        this->store().open();
        return this->store().load();
    }
    AccountSlot storedSlot(int slot)
    {
        const QList<AccountSlot> accounts = this->stored();
        return slot >= 1 && slot <= accounts.size() ? accounts.at(slot - 1) : AccountSlot();
    }
};

TYPED_TEST_SUITE_P(AccountStoreContract);

TYPED_TEST_P(AccountStoreContract, LoadGivesTheAccountsInSlotOrderWithAKeyEach)
{
    using namespace StoreContract;
    const AccountSlot teen{QStringLiteral("TEEN"), QStringLiteral("X"), 90, Today, 0};
    const AccountStore::Table table = this->begin({Admin, Kid, teen});
    EXPECT_EQ(table.accounts, (QList<AccountSlot>{Admin, Kid, teen}));
    ASSERT_EQ(table.keys.size(), 3);
    for (const qint64 key : table.keys) {
        EXPECT_NE(key, 0);
        EXPECT_EQ(table.keys.count(key), 1) << "keys are distinct";
    }
}

TYPED_TEST_P(AccountStoreContract, AnEmptyStoreHoldsTheFirstRunAdministrator)
{
    const AccountStore::Table table = this->begin({});
    ASSERT_EQ(table.accounts.size(), 1);
    EXPECT_EQ(table.accounts.at(0),
              (AccountSlot{AccountTable::AdminId, AccountTable::FirstRunPassword, -1,
                           AccountTable::FirstRunDate, -1}));
    // Its logon stores it, with the day rule applied.
    const Logon logOn = this->store().logOn(AccountTable::AdminId, AccountTable::FirstRunPassword,
                                            StoreContract::Today);
    EXPECT_EQ(logOn.outcome, Logon::LoggedOn);
    EXPECT_EQ(this->storedSlot(1).lastDate, StoreContract::Today);
}

TYPED_TEST_P(AccountStoreContract, ALogonAppliesTheDayRuleAndStoresWhatProtectsTheSession)
{
    using namespace StoreContract;
    struct Case
    {
        const char *name;
        AccountSlot kid;
        QString password;
        Logon::Outcome outcome;
        qint32 sessionMinutes;
    };
    const Case cases[] = {
        {"a new day gives the whole allowance", Kid, QStringLiteral("PW"), Logon::LoggedOn, 60},
        {"the same day continues with what is left",
         {QStringLiteral("KID"), QStringLiteral("PW"), 60, Today, 12},
         QStringLiteral("PW"),
         Logon::LoggedOn,
         12},
        {"nothing left today",
         {QStringLiteral("KID"), QStringLiteral("PW"), 60, Today, 0},
         QStringLiteral("PW"),
         Logon::NoTimeLeft,
         0},
        {"no minutes a day",
         {QStringLiteral("KID"), QStringLiteral("PW"), 0, Yesterday, 30},
         QStringLiteral("PW"),
         Logon::Disabled,
         0},
        {"a wrong password", Kid, QStringLiteral("pw"), Logon::Invalid, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        this->begin({Admin, c.kid});
        const Logon result = this->store().logOn(QStringLiteral("KID"), c.password, Today);
        EXPECT_EQ(result.outcome, c.outcome);
        EXPECT_FALSE(result.administrator());
        if (c.outcome == Logon::Invalid) {
            EXPECT_EQ(result.slot, 0);
            EXPECT_EQ(this->storedSlot(2), c.kid);
            continue;
        }
        EXPECT_EQ(result.slot, 2);
        if (c.outcome != Logon::LoggedOn) {
            EXPECT_EQ(this->storedSlot(2), c.kid) << "a refused logon stores nothing";
            continue;
        }
        EXPECT_EQ(result.grant.minutes, c.sessionMinutes);
        EXPECT_NE(result.grant.key, 0);
        EXPECT_FALSE(result.grant.token.isEmpty());
        const AccountSlot expected{c.kid.userId, c.kid.password, 60, Today, 0};
        EXPECT_EQ(this->storedSlot(2), expected);
        ASSERT_EQ(this->store().table().accounts.size(), 2);
        EXPECT_EQ(this->store().table().accounts.at(1), expected) << "the logon brings the table";
        EXPECT_EQ(this->storedSlot(1), Admin) << "the other accounts stay";
    }
}

TYPED_TEST_P(AccountStoreContract, TheAdministratorLogsOnWithoutLimitAndIsNeverDisabled)
{
    using namespace StoreContract;
    const AccountSlot admin{AccountTable::AdminId, QStringLiteral("BOSS"), 0, Yesterday, 5};
    this->begin({admin, Kid});
    const Logon result = this->store().logOn(AccountTable::AdminId, QStringLiteral("BOSS"), Today);
    EXPECT_EQ(result.outcome, Logon::LoggedOn);
    EXPECT_TRUE(result.administrator());
    EXPECT_EQ(this->storedSlot(1).minsLeft, -1) << "his time is not counted";
    EXPECT_EQ(this->storedSlot(1).lastDate, Today);
}

TYPED_TEST_P(AccountStoreContract, ASessionEndIsStoredOnceAndOnlyOnItsOwnAccount)
{
    using namespace StoreContract;
    this->begin({Admin, Kid});
    const Logon logOn = this->store().logOn(QStringLiteral("KID"), QStringLiteral("PW"), Today);
    ASSERT_EQ(logOn.outcome, Logon::LoggedOn);
    this->store().endSession(logOn.grant.key, logOn.grant.token, 17, Today);
    EXPECT_EQ(this->storedSlot(2),
              (AccountSlot{QStringLiteral("KID"), QStringLiteral("PW"), 60, Today, 17}));
    EXPECT_EQ(this->storedSlot(1), Admin);

    // The same session's end again (a retry, a second computer's journal) gives nothing back.
    this->store().endSession(logOn.grant.key, logOn.grant.token, 50, Today);
    EXPECT_EQ(this->storedSlot(2).minsLeft, 17);
    // Nor does the end of an earlier session after a later logon.
    const Logon next = this->store().logOn(QStringLiteral("KID"), QStringLiteral("PW"), Today);
    ASSERT_EQ(next.outcome, Logon::LoggedOn);
    EXPECT_EQ(next.grant.minutes, 17);
    this->store().endSession(logOn.grant.key, logOn.grant.token, 40, Today);
    EXPECT_EQ(this->storedSlot(2).minsLeft, 0);
    this->store().endSession(next.grant.key, next.grant.token, 3, Today);
    EXPECT_EQ(this->storedSlot(2).minsLeft, 3);
}

TYPED_TEST_P(AccountStoreContract, APasswordChangeIsStoredInItsAccountOnly)
{
    using namespace StoreContract;
    this->begin({Admin, Kid});
    const Logon logOn = this->store().logOn(QStringLiteral("KID"), QStringLiteral("PW"), Today);
    ASSERT_EQ(logOn.outcome, Logon::LoggedOn);
    this->store().changePassword(logOn.grant.key, QStringLiteral("NEW"));
    EXPECT_EQ(this->storedSlot(2).password, QStringLiteral("NEW"));
    EXPECT_EQ(this->storedSlot(2).minsLeft, 0) << "the minutes stay as the logon stored them";
    EXPECT_EQ(this->storedSlot(1), Admin);
    EXPECT_EQ(this->store().logOn(QStringLiteral("KID"), QStringLiteral("PW"), Today).outcome,
              Logon::Invalid);
}

TYPED_TEST_P(AccountStoreContract, AReplaceTakesOnlyATableThatNobodyChangedSince)
{
    using namespace StoreContract;
    const AccountStore::Table read = this->begin({Admin, Kid});
    const AccountSlot guest{QStringLiteral("GUEST"), QStringLiteral("G"), 15, QString(), 15};
    const std::optional<AccountStore::Table> saved =
        this->store().replaceIfUnchanged({Admin, guest}, read.version);
    ASSERT_TRUE(saved.has_value());
    EXPECT_EQ(saved->accounts, (QList<AccountSlot>{Admin, guest}));
    EXPECT_NE(saved->version, read.version);
    EXPECT_EQ(this->stored(), (QList<AccountSlot>{Admin, guest}));
    // The version read before that write is out of date now.
    EXPECT_FALSE(this->store().replaceIfUnchanged({Admin}, read.version).has_value());
    EXPECT_EQ(this->stored(), (QList<AccountSlot>{Admin, guest}));

    // A change by someone else after the table was read is never written over.
    const AccountStore::Table again = this->store().load();
    this->changeElsewhere({Admin, Kid});
    EXPECT_FALSE(this->store().replaceIfUnchanged({Admin, guest}, again.version).has_value());
    EXPECT_EQ(this->stored(), (QList<AccountSlot>{Admin, Kid}));
}

TYPED_TEST_P(AccountStoreContract, AFailedWriteLeavesTheStoredAccountsAsTheyWere)
{
    using namespace StoreContract;
    const AccountStore::Table read = this->begin({Admin, Kid});
    this->failWrites(true);
    // A logon whose 0 cannot be stored starts no session: it is refused or fails.
    try {
        EXPECT_EQ(this->store().logOn(QStringLiteral("KID"), QStringLiteral("PW"), Today).outcome,
                  Logon::CannotSave);
    } catch (const AppError &) {
    }
    EXPECT_THROW(this->store().replaceIfUnchanged({Admin}, read.version), AppError);
    this->failWrites(false);
    EXPECT_EQ(this->stored(), (QList<AccountSlot>{Admin, Kid}));

    // A session end that fails leaves what the logon stored: nothing left today.
    this->begin({Admin, Kid});
    const Logon logOn = this->store().logOn(QStringLiteral("KID"), QStringLiteral("PW"), Today);
    ASSERT_EQ(logOn.outcome, Logon::LoggedOn);
    this->failWrites(true);
    EXPECT_THROW(this->store().endSession(logOn.grant.key, logOn.grant.token, 30, Today), AppError);
    this->failWrites(false);
    EXPECT_EQ(this->storedSlot(2).minsLeft, 0);
    EXPECT_EQ(this->storedSlot(2).lastDate, Today);
}

REGISTER_TYPED_TEST_SUITE_P(AccountStoreContract, LoadGivesTheAccountsInSlotOrderWithAKeyEach,
                            AnEmptyStoreHoldsTheFirstRunAdministrator,
                            ALogonAppliesTheDayRuleAndStoresWhatProtectsTheSession,
                            TheAdministratorLogsOnWithoutLimitAndIsNeverDisabled,
                            ASessionEndIsStoredOnceAndOnlyOnItsOwnAccount,
                            APasswordChangeIsStoredInItsAccountOnly,
                            AReplaceTakesOnlyATableThatNobodyChangedSince,
                            AFailedWriteLeavesTheStoredAccountsAsTheyWere);
