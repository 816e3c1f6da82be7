// Feeds arbitrary text, in one of several locales, to the conversions of typed numbers and dates.
// Neither may crash or overflow; a number read is within the signed 32-bit range and reads back
// from its own decimal text; a date read is a real date of year 1 or later, and its stored date
// text reads back as the same date.
#include "core/rules/Conversions.h"
#include "core/rules/DateText.h"

#include <QCoreApplication>
#include <QLocale>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const char *const Locales[] = {"C",     "en_US", "en_GB", "de_DE", "fr_FR", "fr_CH",
                               "ja_JP", "zh_CN", "ko_KR", "ru_RU", "ar_EG", "fa_IR",
                               "hi_IN", "he_IL", "sv_SE", "nl_NL", "th_TH", "pt_BR"};
constexpr size_t LocaleCount = sizeof Locales / sizeof Locales[0];

void check(bool holds, const char *what, const QString &text)
{
    if (!holds) {
        std::fprintf(stderr, "invariant broken: %s for \"%s\" in %s\n", what,
                     text.toUtf8().constData(), QLocale().name().toUtf8().constData());
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // A field holds a line of text; much longer inputs only slow the search down.
    if (size < 1 || size > 512)
        return 0;
    QLocale::setDefault(QLocale(QLatin1String(Locales[data[0] % LocaleCount])));
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));

    if (const auto number = Conversions::toInteger(text)) {
        check(Conversions::toInteger(QString::number(*number)) == number,
              "a number does not read back from its decimal text", text);
        check(Conversions::toInteger(text) == number, "a second reading differs", text);
    }

    if (const auto date = Conversions::toDate(text)) {
        check(date->isValid() && date->year() >= 1, "an impossible date", text);
        const QString stored = DateText::fromDate(*date);
        check(Conversions::toDate(stored) == date, "the stored date text reads back otherwise",
              text);
    }

    // The rounding on its own, with any double the input's first bytes make.
    if (size >= 1 + sizeof(double)) {
        double value = 0;
        std::memcpy(&value, data + 1, sizeof value);
        const double rounded = Conversions::roundHalfToEven(value);
        if (std::isfinite(value)) {
            check(std::fabs(rounded - value) <= 0.5, "rounding moved more than a half", text);
            check(rounded == std::floor(rounded), "rounding left a fraction", text);
        }
    }
    return 0;
}
