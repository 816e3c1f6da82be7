// The account table's rules without any window: logon and the day rule, the session end, the
// password change, and the administrator's grid.
#include "core/rules/AccountTable.h"
#include "core/rules/AppError.h"
#include "core/rules/Session.h"
#include "tests/support/StoredAccounts.h"

namespace {

const QString Today = QStringLiteral("12/8/2026");
const QString Yesterday = QStringLiteral("12/7/2026");

class AccountRules : public AccountsTest
{
protected:
    void SetUp() override
    {
        AccountsTest::SetUp();
        storeAccount(1, AccountTable::AdminId, QStringLiteral("BOSS"), -1, Yesterday, -1);
    }
    // Slot 2 as stored, then the table loaded from the store.
    void load(const AccountSlot &slot)
    {
        storeAccount(2, slot.userId, slot.password, slot.minsPerDay, slot.lastDate, slot.minsLeft);
        table.LoadAccounts();
    }
    QString stored(const char *prefix, int slot = 2) const
    {
        return store.section().value(AccountTable::key(prefix, slot));
    }

    AccountTable &table = accountTable;
};

struct LogOnCase
{
    const char *name;
    AccountSlot slot;
    QString user;
    QString password;
    Logon::Outcome outcome;
    // For a logon that stands: the session's minutes and what the store holds afterwards.
    qint32 sessionMinutes;
    QString storedLeft;
    QString storedDate;
};

class LogOnRule : public AccountRules, public ::testing::WithParamInterface<LogOnCase>
{};

TEST_P(LogOnRule, GivesTheSessionOrTheRefusalAndStoresTheNewDay)
{
    const LogOnCase &c = GetParam();
    load(c.slot);
    const int savesBefore = store.saves;
    const Logon result = table.logOn(c.user, c.password, Today);

    EXPECT_EQ(result.outcome, c.outcome);
    if (c.outcome != Logon::LoggedOn) {
        EXPECT_FALSE(result.refusal.isEmpty());
        EXPECT_EQ(store.saves, savesBefore) << "a refused logon stores nothing";
        return;
    }
    EXPECT_TRUE(result.refusal.isEmpty());
    EXPECT_FALSE(result.saveError.has_value());
    EXPECT_EQ(result.administrator(), c.slot.userId == AccountTable::AdminId);
    EXPECT_EQ(result.slot, 2);
    EXPECT_EQ(result.grant.minutes, c.sessionMinutes);
    EXPECT_EQ(result.grant.userId, c.slot.userId);
    EXPECT_FALSE(result.grant.token.isEmpty()) << "the session's end needs its token";
    EXPECT_EQ(stored("left"), c.storedLeft);
    EXPECT_EQ(stored("date"), c.storedDate);
}

const AccountSlot Kid{QStringLiteral("KID"), QStringLiteral("PW"), 60, Yesterday, 12};

INSTANTIATE_TEST_SUITE_P(
    , LogOnRule,
    ::testing::Values(LogOnCase{"NewDayGivesTheWholeAllowance", Kid, QStringLiteral("KID"),
                                QStringLiteral("PW"), Logon::LoggedOn, 60, QStringLiteral("0"),
                                Today},
                      LogOnCase{"SameDayContinuesFromTheMinutesLeft",
                                {QStringLiteral("KID"), QStringLiteral("PW"), 60, Today, 17},
                                QStringLiteral("KID"),
                                QStringLiteral("PW"),
                                Logon::LoggedOn,
                                17,
                                QStringLiteral("0"),
                                Today},
                      LogOnCase{"SameDayWithNothingLeftIsRefused",
                                {QStringLiteral("KID"), QStringLiteral("PW"), 60, Today, 0},
                                QStringLiteral("KID"),
                                QStringLiteral("PW"),
                                Logon::NoTimeLeft,
                                0,
                                {},
                                {}},
                      LogOnCase{"ZeroMinutesADayIsDisabled",
                                {QStringLiteral("KID"), QStringLiteral("PW"), 0, Yesterday, 0},
                                QStringLiteral("KID"),
                                QStringLiteral("PW"),
                                Logon::Disabled,
                                0,
                                {},
                                {}},
                      LogOnCase{"NoLimitCountsFromMinusOne",
                                {QStringLiteral("KID"), QStringLiteral("PW"), -1, Yesterday, 0},
                                QStringLiteral("KID"),
                                QStringLiteral("PW"),
                                Logon::LoggedOn,
                                -1,
                                QStringLiteral("0"),
                                Today},
                      LogOnCase{"AWrongPasswordIsInvalid",
                                Kid,
                                QStringLiteral("KID"),
                                QStringLiteral("PX"),
                                Logon::Invalid,
                                0,
                                {},
                                {}},
                      LogOnCase{"TypedInAnyCaseIsComparedUpperCased", Kid, QStringLiteral("kId"),
                                QStringLiteral("pw"), Logon::LoggedOn, 60, QStringLiteral("0"),
                                Today},
                      LogOnCase{"UpperCasingMakesNoWrongPasswordRight",
                                Kid,
                                QStringLiteral("kid"),
                                QStringLiteral("px"),
                                Logon::Invalid,
                                0,
                                {},
                                {}},
                      LogOnCase{"AnAdministratorWithZeroMinutesOnANewDayLogsOn",
                                {AccountTable::AdminId, QStringLiteral("CHIEF"), 0, Yesterday, -1},
                                AccountTable::AdminId,
                                QStringLiteral("CHIEF"),
                                Logon::LoggedOn,
                                0,
                                QStringLiteral("-1"),
                                Today},
                      LogOnCase{"AnAdministratorWithZeroMinutesOnTheSameDayLogsOn",
                                {AccountTable::AdminId, QStringLiteral("CHIEF"), 0, Today, -1},
                                AccountTable::AdminId,
                                QStringLiteral("CHIEF"),
                                Logon::LoggedOn,
                                -1,
                                QStringLiteral("-1"),
                                Today}),
    [](const ::testing::TestParamInfo<LogOnCase> &info) { return info.param.name; });

TEST_F(AccountRules, TheRefusalsSayWhy)
{
    load({QStringLiteral("KID"), QStringLiteral("PW"), 0, Yesterday, 0});
    EXPECT_EQ(table.logOn(QStringLiteral("KID"), QStringLiteral("PW"), Today).refusal,
              QStringLiteral("Sorry, your UserID has been disabled. See your administrator"));
    EXPECT_EQ(table.logOn(QStringLiteral("KID"), QStringLiteral("NO"), Today).refusal,
              QStringLiteral("Invalid UserId/Password"));
    load({QStringLiteral("KID"), QStringLiteral("PW"), 30, Today, 0});
    EXPECT_EQ(table.logOn(QStringLiteral("KID"), QStringLiteral("PW"), Today).refusal,
              QStringLiteral("Sorry, no time left today"));
}

TEST_F(AccountRules, ARefusedStoreRefusesEveryLogonUntilItIsMended)
{
    store.refusedBecause = QStringLiteral("the settings file is a symbolic link");
    load(Kid);
    const Logon refused = table.logOn(QStringLiteral("KID"), QStringLiteral("PW"), Today);
    EXPECT_EQ(refused.outcome, Logon::StoreRefused);
    EXPECT_EQ(refused.refusal, QStringLiteral("Sorry, the settings file is not safe to use. See "
                                              "your administrator"));
    EXPECT_EQ(store.saves, 0);

    store.refusedBecause.clear();
    EXPECT_EQ(table.logOn(QStringLiteral("KID"), QStringLiteral("PW"), Today).outcome,
              Logon::LoggedOn);
    EXPECT_EQ(stored("date"), Today);
}

TEST_F(AccountRules, NoSessionStartsWhenTheStoreCannotTakeTheLogonAndNothingChanges)
{
    load(AccountSlot{QStringLiteral("KID"), QStringLiteral("PW"), 60, Today, 25});
    const QList<AccountSlot> before = table.accounts();
    store.failNextSave = true;
    const Logon result = table.logOn(QStringLiteral("KID"), QStringLiteral("PW"), Today);
    EXPECT_EQ(result.outcome, Logon::CannotSave);
    EXPECT_EQ(result.refusal,
              QStringLiteral("Sorry, the accounts cannot be saved. See your administrator"));
    EXPECT_FALSE(result.administrator());
    EXPECT_TRUE(result.grant.token.isEmpty()) << "no session is opened";
    EXPECT_EQ(table.accounts(), before) << "the table keeps what the store holds";

    // Once the store takes it, the same account logs on with what was stored before.
    const Logon again = table.logOn(QStringLiteral("KID"), QStringLiteral("PW"), Today);
    EXPECT_EQ(again.outcome, Logon::LoggedOn);
    EXPECT_EQ(again.grant.minutes, 25);
    EXPECT_EQ(stored("left"), QStringLiteral("0"));
}

TEST_F(AccountRules, TheAdministratorLogsOnWhenTheStoreCannotBeWrittenAndIsToldWhy)
{
    load(Kid);
    store.failNextSave = true;
    const Logon result = table.logOn(AccountTable::AdminId, QStringLiteral("BOSS"), Today);
    EXPECT_EQ(result.outcome, Logon::LoggedOn);
    EXPECT_TRUE(result.administrator());
    ASSERT_TRUE(result.saveError.has_value());
    EXPECT_EQ(result.saveError->errorText(),
              QStringLiteral("Error 75 Path/File access error: disk full"));
}

TEST_F(AccountRules, ASessionEndTheStoreCannotTakeForfeitsTheRestOfTheDay)
{
    load(Kid);
    const SessionGrant kid = table.logOn(QStringLiteral("KID"), QStringLiteral("PW"), Today).grant;
    store.failNextSave = true;
    try {
        table.endSession(kid, 59, Today);
        ADD_FAILURE() << "the failed session end reported success";
    } catch (const AppError &error) {
        EXPECT_EQ(error.number(), 75);
        EXPECT_TRUE(error.description().endsWith(QStringLiteral("the rest of today is forfeited")))
            << error.description().toStdString();
    }
    EXPECT_EQ(stored("left"), QStringLiteral("0"));
    EXPECT_EQ(table.account(2).minsLeft, 0) << "the table keeps what the logon stored";
    EXPECT_EQ(table.account(2).lastDate, Today);

    // A later save of the table (the administrator's, say) does not hand the minutes back, and
    // the next logon today is refused.
    table.SaveAccounts();
    EXPECT_EQ(stored("left"), QStringLiteral("0"));
    EXPECT_EQ(table.logOn(QStringLiteral("KID"), QStringLiteral("PW"), Today).outcome,
              Logon::NoTimeLeft);
}

TEST_F(AccountRules, DuringASessionEverySaveStoresNothingLeftAndTheEndStoresTheRemainder)
{
    load(Kid);
    const SessionGrant kid = table.logOn(QStringLiteral("KID"), QStringLiteral("PW"), Today).grant;
    table.changePassword(kid, QStringLiteral("neW2"));
    EXPECT_EQ(stored("pswd"), QStringLiteral("NEW2"));
    EXPECT_EQ(stored("left"), QStringLiteral("0"));
    table.SaveAccounts();
    EXPECT_EQ(stored("left"), QStringLiteral("0"))
        << "a save during the session gives no time back";

    table.endSession(kid, 58, QStringLiteral("12/9/2026"));
    EXPECT_EQ(stored("left"), QStringLiteral("58"));
    EXPECT_EQ(stored("date"), QStringLiteral("12/9/2026"));
    EXPECT_EQ(stored("pswd"), QStringLiteral("NEW2"));
    EXPECT_EQ(stored("user", 1), AccountTable::AdminId) << "the other accounts stay";
}

TEST_F(AccountRules, AGrantNoLogonGaveEndsAndChangesNothing)
{
    load(Kid);
    const int savesBefore = store.saves;
    const SessionGrant kid = table.logOn(QStringLiteral("KID"), QStringLiteral("PW"), Today).grant;
    SessionGrant forged = kid;
    forged.token = QStringLiteral("guessed");
    table.endSession(forged, 60, Today);
    table.endSession(SessionGrant(), 60, Today);
    EXPECT_EQ(stored("left"), QStringLiteral("0"));
    EXPECT_EQ(store.saves, savesBefore + 1) << "only the logon was stored";
    SessionGrant nowhere;
    nowhere.key = 11;
    EXPECT_THROW(table.changePassword(nowhere, QStringLiteral("X")), AppError);
    EXPECT_EQ(store.saves, savesBefore + 1);
}

TEST_F(AccountRules, SlotsOutsideOneToTenAreRefusedAndEmptySlotsReadEmpty)
{
    load(Kid);
    EXPECT_THROW(table.account(0), AppError);
    EXPECT_THROW(table.account(AccountTable::MaxAccounts + 1), AppError);
    EXPECT_EQ(table.account(AccountTable::MaxAccounts), AccountSlot{});
    EXPECT_EQ(table.count(), 2);

    QList<AccountSlot> twelve(12, Kid);
    table.setAccounts(twelve);
    EXPECT_EQ(table.count(), AccountTable::MaxAccounts);
    EXPECT_EQ(table.accounts().size(), AccountTable::MaxAccounts);
}

using Row = AccountTable::GridRow;
using Field = AccountTable::GridField;

struct GridCase
{
    const char *name;
    QList<Row> rows;
    std::optional<AccountTable::GridFault> fault;
};

class GridCheck : public ::testing::TestWithParam<GridCase>
{};

const QString Numeric = QStringLiteral("Error  this is a numeric field");

TEST_P(GridCheck, FindsTheFirstFaultInRowOrder)
{
    QList<Row> rows = GetParam().rows;
    EXPECT_EQ(AccountTable::checkGrid(rows), GetParam().fault);
}

INSTANTIATE_TEST_SUITE_P(
    , GridCheck,
    ::testing::Values(
        GridCase{"EmptyAndDeletedRowsAreNotChecked",
                 {Row{}, Row{true, {}, {}, QStringLiteral("x"), {}, {}}},
                 std::nullopt},
        GridCase{"AUserIdIsNeeded",
                 {Row{false, {}, QStringLiteral("P"), QStringLiteral("5"), {}, {}}},
                 AccountTable::GridFault{0, Field::User, QStringLiteral("Enter User ID")}},
        GridCase{"APasswordIsNeeded",
                 {Row{false, QStringLiteral("A"), QStringLiteral("P"), QStringLiteral("5"), {}, {}},
                  Row{false, QStringLiteral("B"), {}, QStringLiteral("5"), {}, {}}},
                 AccountTable::GridFault{1, Field::Password, QStringLiteral("Enter Password")}},
        GridCase{"MinutesAreNeeded",
                 {Row{false, QStringLiteral("A"), QStringLiteral("P"), {}, {}, {}}},
                 AccountTable::GridFault{
                     0, Field::Mins, QStringLiteral("Enter number of minutes per day for access")}},
        GridCase{
            "MinutesMustBeANumber",
            {Row{false, QStringLiteral("A"), QStringLiteral("P"), QStringLiteral("lots"), {}, {}}},
            AccountTable::GridFault{0, Field::Mins, Numeric}},
        GridCase{"AnUnreadableDateIsAnsweredWithoutText",
                 {Row{false,
                      QStringLiteral("A"),
                      QStringLiteral("P"),
                      QStringLiteral("5"),
                      {},
                      QStringLiteral("someday")}},
                 AccountTable::GridFault{0, Field::Date, QString()}},
        GridCase{"MinutesLeftMustBeANumber",
                 {Row{false,
                      QStringLiteral("A"),
                      QStringLiteral("P"),
                      QStringLiteral("5"),
                      QStringLiteral("5x"),
                      {}}},
                 AccountTable::GridFault{0, Field::Left, Numeric}}),
    [](const ::testing::TestParamInfo<GridCase> &info) { return info.param.name; });

TEST(GridCheckFilling, AnEmptyLeftTakesTheMinutesOfRowsCheckedBeforeAFault)
{
    QList<Row> rows{
        Row{false, QStringLiteral("A"), QStringLiteral("P"), QStringLiteral("45"), {}, {}},
        Row{false, QStringLiteral("B"), {}, QStringLiteral("30"), {}, {}},
        Row{false, QStringLiteral("C"), QStringLiteral("P"), QStringLiteral("20"), {}, {}}};
    ASSERT_TRUE(AccountTable::checkGrid(rows).has_value());
    EXPECT_EQ(rows[0].left, QStringLiteral("45"));
    EXPECT_TRUE(rows[1].left.isEmpty());
    EXPECT_TRUE(rows[2].left.isEmpty()) << "rows after the fault are not looked at";
}

TEST_F(AccountRules, TheGridReplacesTheTableClosedUpAndUpperCased)
{
    load(Kid);
    const QList<Row> rows{Row{false, AccountTable::AdminId, QStringLiteral("boss"),
                              QStringLiteral("-1"), QStringLiteral("-1"), Yesterday},
                          Row{true, QStringLiteral("KID"), QStringLiteral("PW"),
                              QStringLiteral("60"), QStringLiteral("12"), Yesterday},
                          Row{},
                          Row{false, QStringLiteral("neu"), QStringLiteral("geheim"),
                              QStringLiteral("2"), QStringLiteral("2"), QString()}};
    table.replaceWithGrid(rows);

    EXPECT_EQ(table.count(), 2);
    EXPECT_EQ(table.account(2),
              (AccountSlot{QStringLiteral("NEU"), QStringLiteral("GEHEIM"), 2, QString(), 2}));
    EXPECT_EQ(stored("user"), QStringLiteral("NEU"));
    EXPECT_EQ(stored("pswd", 1), QStringLiteral("BOSS"));
    EXPECT_TRUE(stored("user", 3).isEmpty());
}

TEST_F(AccountRules, AGridNumberThatCannotBeReadIsATypeMismatchAndNothingIsStored)
{
    load(Kid);
    const int savesBefore = store.saves;
    try {
        table.replaceWithGrid({Row{false,
                                   QStringLiteral("A"),
                                   QStringLiteral("P"),
                                   QStringLiteral("many"),
                                   QStringLiteral("1"),
                                   {}}});
        ADD_FAILURE() << "no error";
    } catch (const AppError &error) {
        EXPECT_EQ(error.errorText(), QStringLiteral("Error 13 Type mismatch"));
    }
    EXPECT_EQ(store.saves, savesBefore);
}

TEST(ErrorCatalogue, GivesEachNumberItsDescriptionAndKeepsADetail)
{
    EXPECT_EQ(AppError(AppError::InvalidProcedureCall).text(),
              QStringLiteral("5 Invalid procedure call or argument"));
    EXPECT_EQ(AppError(AppError::PathFileAccessError, QStringLiteral("cannot write x")).text(),
              QStringLiteral("75 Path/File access error: cannot write x"));
    EXPECT_EQ(AppError(AppError::SubscriptOutOfRange).errorText(),
              QStringLiteral("Error 9 Subscript out of range"));
    EXPECT_TRUE(AppError::describe(12345).isEmpty());
}

} // namespace
