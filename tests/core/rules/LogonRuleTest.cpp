// The logon rule on a table of accounts, as every store applies it.
#include "core/rules/LogonRule.h"
#include "core/rules/AccountTable.h"

#include <gtest/gtest.h>

namespace {

const QString Today = QStringLiteral("12/8/2026");
const QString Yesterday = QStringLiteral("12/7/2026");

TEST(LogonRule, TheFirstSlotWithTheExactUserIdAndPasswordIsTheAccount)
{
    const QList<AccountSlot> accounts{
        {AccountTable::AdminId, QStringLiteral("BOSS"), -1, Yesterday, -1},
        {QStringLiteral("KID"), QStringLiteral("OTHER"), 30, Yesterday, 5},
        {QStringLiteral("KID"), QStringLiteral("PW"), 60, Yesterday, 12},
        {QStringLiteral("KID"), QStringLiteral("PW"), 90, Today, 40},
    };
    const Logon first =
        LogonRule::apply(accounts, QStringLiteral("KID"), QStringLiteral("PW"), Today);
    EXPECT_EQ(first.outcome, Logon::LoggedOn);
    EXPECT_EQ(first.slot, 3) << "of two equal accounts the earlier slot counts";
    EXPECT_EQ(first.grant.minutes, 60);
    EXPECT_EQ(first.stored,
              (AccountSlot{QStringLiteral("KID"), QStringLiteral("PW"), 60, Today, 0}));
    EXPECT_FALSE(first.administrator());

    // Ids and passwords arrive upper-cased; nothing else is matched loosely.
    for (const auto &[user, password] : {std::pair{QStringLiteral("kid"), QStringLiteral("PW")},
                                         std::pair{QStringLiteral("KID"), QStringLiteral("pw")},
                                         std::pair{QStringLiteral("KID "), QStringLiteral("PW")},
                                         std::pair{QStringLiteral("KID"), QString()}}) {
        const Logon none = LogonRule::apply(accounts, user, password, Today);
        EXPECT_EQ(none.outcome, Logon::Invalid) << qPrintable(user + QLatin1Char('/') + password);
        EXPECT_EQ(none.slot, 0);
    }
    EXPECT_EQ(
        LogonRule::apply({}, AccountTable::AdminId, AccountTable::FirstRunPassword, Today).outcome,
        Logon::Invalid);
}

TEST(LogonRule, TheAdministratorIsKnownByHisIdAndNeverDisabled)
{
    const QList<AccountSlot> accounts{{AccountTable::AdminId, QStringLiteral("BOSS"), 0, Today, 7}};
    const Logon admin =
        LogonRule::apply(accounts, AccountTable::AdminId, QStringLiteral("BOSS"), Today);
    EXPECT_EQ(admin.outcome, Logon::LoggedOn);
    EXPECT_TRUE(admin.administrator());
    EXPECT_EQ(admin.grant.minutes, 7) << "the same day continues";
    EXPECT_EQ(admin.stored.minsLeft, -1);
}

} // namespace
