#include "core/rules/Conversions.h"
#include "core/rules/DateText.h"

#include <QList>
#include <QLocale>
#include <gtest/gtest.h>
#include <limits>

namespace {

constexpr qint32 Max = std::numeric_limits<qint32>::max();
constexpr qint32 Min = std::numeric_limits<qint32>::min();

// Runs each case in the locale it names and gives the program's locale back afterwards.
class InLocale
{
public:
    explicit InLocale(const char *name) { QLocale::setDefault(QLocale(QLatin1String(name))); }
    ~InLocale() { QLocale::setDefault(QLocale::system()); }
};

struct IntegerCase
{
    const char *locale;
    const char *typed;
    std::optional<qint32> value;
};

void PrintTo(const IntegerCase &c, std::ostream *os)
{
    *os << c.locale << " \"" << c.typed << '"';
}

class IntegerField : public ::testing::TestWithParam<IntegerCase>
{};

TEST_P(IntegerField, ReadsWhatAPersonTypesInTheirLocale)
{
    const InLocale locale(GetParam().locale);
    EXPECT_EQ(Conversions::toInteger(QString::fromUtf8(GetParam().typed)), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(
    WholeNumbersBlanksAndSigns, IntegerField,
    ::testing::Values(IntegerCase{"C", "42", 42}, IntegerCase{"C", "  42 ", 42},
                      IntegerCase{"C", "\t7\n", 7}, IntegerCase{"C", "+7", 7},
                      IntegerCase{"C", "-1", -1}, IntegerCase{"C", "0", 0},
                      IntegerCase{"C", "-0.4", 0}, IntegerCase{"C", "007", 7},
                      IntegerCase{"C", "2147483647", Max}, IntegerCase{"C", "-2147483648", Min},
                      IntegerCase{"en_US", " -30 ", -30}, IntegerCase{"de_DE", "+90", 90}));

INSTANTIATE_TEST_SUITE_P(
    FractionsRoundHalfToEven, IntegerField,
    ::testing::Values(IntegerCase{"C", "2.5", 2}, IntegerCase{"C", "3.5", 4},
                      IntegerCase{"C", "-2.5", -2}, IntegerCase{"C", "-3.5", -4},
                      IntegerCase{"C", "0.5", 0}, IntegerCase{"C", "1.5", 2},
                      IntegerCase{"C", "2.4999", 2}, IntegerCase{"C", "2.5001", 3},
                      IntegerCase{"en_US", "44.6", 45}, IntegerCase{"de_DE", "2,5", 2},
                      IntegerCase{"de_DE", "3,5", 4}, IntegerCase{"de_DE", "-2,5", -2},
                      IntegerCase{"C", "2147483647.4", Max},
                      IntegerCase{"C", "-2147483648.5", Min}));

INSTANTIATE_TEST_SUITE_P(
    TheLocalesSeparators, IntegerField,
    ::testing::Values(IntegerCase{"en_US", "1,000", 1000}, IntegerCase{"en_US", "1,000.5", 1000},
                      IntegerCase{"en_US", "1.000", 1}, IntegerCase{"en_US", "2,5", std::nullopt},
                      IntegerCase{"de_DE", "1.000", 1000}, IntegerCase{"de_DE", "1.000,5", 1000},
                      IntegerCase{"de_DE", "1,000", 1}, IntegerCase{"de_DE", "2.5", std::nullopt},
                      IntegerCase{"C", "1,000", 1000},
                      IntegerCase{"en_US", "1,2,3", std::nullopt}));

INSTANTIATE_TEST_SUITE_P(
    NotANumberOrOutOfRange, IntegerField,
    ::testing::Values(
        IntegerCase{"C", "", std::nullopt}, IntegerCase{"C", "   ", std::nullopt},
        IntegerCase{"de_DE", " ", std::nullopt}, IntegerCase{"C", "abc", std::nullopt},
        IntegerCase{"C", "12abc", std::nullopt}, IntegerCase{"C", "1 2", std::nullopt},
        IntegerCase{"C", "- 5", std::nullopt}, IntegerCase{"C", "0x10", std::nullopt},
        IntegerCase{"C", "inf", std::nullopt}, IntegerCase{"C", "nan", std::nullopt},
        IntegerCase{"C", "1e400", std::nullopt}, IntegerCase{"C", "2147483648", std::nullopt},
        IntegerCase{"C", "-2147483649", std::nullopt},
        IntegerCase{"C", "2147483647.5", std::nullopt},
        IntegerCase{"en_US", "99999999999", std::nullopt}));

struct DateCase
{
    const char *locale;
    const char *typed;
    QDate date; // invalid: the text is not a date
};

void PrintTo(const DateCase &c, std::ostream *os)
{
    *os << c.locale << " \"" << c.typed << '"';
}

class DateField : public ::testing::TestWithParam<DateCase>
{};

TEST_P(DateField, ReadsTheNotationsOfTheLocale)
{
    const InLocale locale(GetParam().locale);
    const std::optional<QDate> read = Conversions::toDate(QString::fromUtf8(GetParam().typed));
    if (GetParam().date.isValid())
        EXPECT_EQ(read, GetParam().date);
    else
        EXPECT_FALSE(read.has_value()) << read->toString(Qt::ISODate).toStdString();
}

const QDate Dec8(2026, 12, 8);
const QDate NoDate;

INSTANTIATE_TEST_SUITE_P(
    UnitedStates, DateField,
    ::testing::Values(
        DateCase{"en_US", "12/8/2026", Dec8}, DateCase{"en_US", "12/08/2026", Dec8},
        DateCase{"en_US", " 12/8/2026 ", Dec8}, DateCase{"en_US", "12/8/26", Dec8},
        DateCase{"en_US", "2/29/00", QDate(2000, 2, 29)},
        DateCase{"en_US", "12/8/99", QDate(2099, 12, 8)}, DateCase{"en_US", "2026-12-08", Dec8},
        DateCase{"en_US", "Tuesday, December 8, 2026", Dec8},
        DateCase{"en_US", "December 8, 2026", Dec8}, DateCase{"en_US", "December 8, 26", Dec8},
        DateCase{"en_US", "13/8/2026", NoDate}, DateCase{"en_US", "2/30/2026", NoDate},
        DateCase{"en_US", "2/29/2026", NoDate}, DateCase{"en_US", "12/8/026", NoDate},
        DateCase{"en_US", "12/8/-2026", NoDate}, DateCase{"en_US", "12/8", NoDate},
        DateCase{"en_US", "8.12.2026", NoDate},
        DateCase{"en_US", "Monday, December 8, 2026", NoDate}));

INSTANTIATE_TEST_SUITE_P(Germany, DateField,
                         ::testing::Values(DateCase{"de_DE", "08.12.2026", Dec8},
                                           DateCase{"de_DE", "8.12.2026", Dec8},
                                           DateCase{"de_DE", "08.12.26", Dec8},
                                           DateCase{"de_DE", "8.1.26", QDate(2026, 1, 8)},
                                           DateCase{"de_DE", "2026-12-08", Dec8},
                                           DateCase{"de_DE", "Dienstag, 8. Dezember 2026", Dec8},
                                           DateCase{"de_DE", "8. Dezember 2026", Dec8},
                                           DateCase{"de_DE", "12/8/2026", NoDate},
                                           DateCase{"de_DE", "32.12.2026", NoDate}));

INSTANTIATE_TEST_SUITE_P(
    CLocale, DateField,
    ::testing::Values(DateCase{"C", "8 Dec 2026", Dec8}, DateCase{"C", "8 dec 2026", Dec8},
                      DateCase{"C", "8 Dec 26", Dec8}, DateCase{"C", "2026-12-08", Dec8},
                      DateCase{"C", "Tuesday, 8 December 2026", Dec8},
                      DateCase{"C", "8 December 2026", Dec8}, DateCase{"C", "8 Dez 2026", NoDate}));

INSTANTIATE_TEST_SUITE_P(NeverADate, DateField,
                         ::testing::Values(DateCase{"C", "", NoDate}, DateCase{"C", " ", NoDate},
                                           DateCase{"en_US", "   ", NoDate},
                                           DateCase{"en_US", "tomorrow", NoDate},
                                           DateCase{"de_DE", "heute", NoDate},
                                           DateCase{"en_US", "2026-13-01", NoDate},
                                           DateCase{"en_US", "12/8/2026 10:00", NoDate}));

class StoredDateText : public ::testing::TestWithParam<const char *>
{};

// Whatever the calendar or a logon writes into a date field must pass the save's date check and
// mean the same day again.
TEST_P(StoredDateText, ReadsBackAsTheSameDay)
{
    const InLocale locale(GetParam());
    QList<QDate> days;
    // Every day of a leap year, and the start and the end of every month of the century.
    for (QDate day(2024, 1, 1); day.year() == 2024; day = day.addDays(1))
        days.append(day);
    for (int year = 2000; year <= 2099; ++year) {
        for (int month = 1; month <= 12; ++month) {
            const QDate first(year, month, 1);
            days.append(first);
            days.append(first.addDays(first.daysInMonth() - 1));
        }
    }
    for (const QDate &day : days) {
        const QString text = DateText::fromDate(day);
        const std::optional<QDate> read = Conversions::toDate(text);
        ASSERT_TRUE(read.has_value()) << text.toStdString();
        ASSERT_EQ(*read, day) << text.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(, StoredDateText, ::testing::Values("C", "en_US", "de_DE", "en_GB"));

} // namespace
