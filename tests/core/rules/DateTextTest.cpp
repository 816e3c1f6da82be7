#include "core/rules/DateText.h"

#include <QLocale>
#include <gtest/gtest.h>
#include <string>

namespace {

struct LocaleCase
{
    const char *locale;
    const char *expected;
};

class DateTextInLocale : public ::testing::TestWithParam<LocaleCase>
{
protected:
    void TearDown() override { QLocale::setDefault(QLocale::system()); }
};

TEST_P(DateTextInLocale, RendersTheShortFormWithAFourDigitYear)
{
    QLocale::setDefault(QLocale(QString::fromLatin1(GetParam().locale)));
    EXPECT_EQ(DateText::fromDate(QDate(2026, 12, 8)), QString::fromUtf8(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(, DateTextInLocale,
                         ::testing::Values(LocaleCase{"en_US", "12/8/2026"},
                                           LocaleCase{"de_DE", "08.12.2026"},
                                           LocaleCase{"C", "8 Dec 2026"},
                                           LocaleCase{"en_GB", "08/12/2026"}),
                         [](const auto &info) { return std::string(info.param.locale); });

TEST(DateText, DifferentDaysNeverShareAText)
{
    QLocale::setDefault(QLocale(QStringLiteral("en_US")));
    EXPECT_NE(DateText::fromDate(QDate(2026, 1, 11)), DateText::fromDate(QDate(2026, 11, 1)));
    EXPECT_NE(DateText::fromDate(QDate(1926, 12, 8)), DateText::fromDate(QDate(2026, 12, 8)));
    QLocale::setDefault(QLocale::system());
}

} // namespace
