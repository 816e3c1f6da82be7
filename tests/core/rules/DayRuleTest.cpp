// The day rule on one account: what a logon is granted and what is stored for it.
#include "core/rules/DayRule.h"

#include <gtest/gtest.h>

namespace {

const QString Today = QStringLiteral("12/8/2026");
const QString Yesterday = QStringLiteral("12/7/2026");

struct DayCase
{
    const char *name;
    AccountSlot slot;
    bool administrator;
    Logon::Outcome outcome;
    qint32 sessionMinutes;
    // What is stored when granted; the slot itself is expected otherwise.
    AccountSlot stored;
};

class DayRuleTable : public ::testing::TestWithParam<DayCase>
{};

TEST_P(DayRuleTable, GrantsAndStoresAsTheDayAndTheAllowanceSay)
{
    const DayCase &c = GetParam();
    const Logon result = DayRule::apply(c.slot, c.administrator, Today);
    EXPECT_EQ(result.outcome, c.outcome);
    if (c.outcome == Logon::LoggedOn) {
        EXPECT_EQ(result.grant.minutes, c.sessionMinutes);
        EXPECT_EQ(result.stored, c.stored);
    } else {
        EXPECT_EQ(result.stored, c.slot) << "a refused logon stores nothing new";
    }
}

const QString Kid = QStringLiteral("KID");
const QString Pw = QStringLiteral("PW");
const QString Admin = QStringLiteral("ADMINISTRATOR");

INSTANTIATE_TEST_SUITE_P(
    Cases, DayRuleTable,
    ::testing::Values(
        DayCase{
            "NoMinutesADayIsDisabled", {Kid, Pw, 0, Yesterday, 0}, false, Logon::Disabled, 0, {}},
        DayCase{"NoMinutesADayIsDisabledEvenWithMinutesLeftToday",
                {Kid, Pw, 0, Today, 30},
                false,
                Logon::Disabled,
                0,
                {}},
        DayCase{"TheAdministratorIsNeverDisabled",
                {Admin, Pw, 0, Yesterday, 0},
                true,
                Logon::LoggedOn,
                0,
                {Admin, Pw, 0, Today, -1}},
        DayCase{
            "UsedUpTodayHasNoTimeLeft", {Kid, Pw, 60, Today, 0}, false, Logon::NoTimeLeft, 0, {}},
        DayCase{"SameDayContinuesWithWhatIsLeftAndStoresNothingLeft",
                {Kid, Pw, 60, Today, 12},
                false,
                Logon::LoggedOn,
                12,
                {Kid, Pw, 60, Today, 0}},
        DayCase{"ANewDayStartsWithTheWholeAllowance",
                {Kid, Pw, 60, Yesterday, 0},
                false,
                Logon::LoggedOn,
                60,
                {Kid, Pw, 60, Today, 0}},
        DayCase{"ANewDayIgnoresWhatWasLeftBefore",
                {Kid, Pw, 60, Yesterday, 45},
                false,
                Logon::LoggedOn,
                60,
                {Kid, Pw, 60, Today, 0}},
        DayCase{"TheAdministratorsTimeIsNotCounted",
                {Admin, Pw, -1, Yesterday, -1},
                true,
                Logon::LoggedOn,
                -1,
                {Admin, Pw, -1, Today, -1}},
        DayCase{"TheAdministratorContinuesTheSameDayUncounted",
                {Admin, Pw, -1, Today, -1},
                true,
                Logon::LoggedOn,
                -1,
                {Admin, Pw, -1, Today, -1}}),
    [](const ::testing::TestParamInfo<DayCase> &info) { return std::string(info.param.name); });

} // namespace
