#include "core/rules/Conversions.h"

#include "core/rules/DateText.h"

#include <QLocale>
#include <QRegularExpression>
#include <QStringList>
#include <cmath>
#include <limits>

namespace {

// Day and month numbers of one or two digits, and a year of four.
QString lenientFormat(QString format)
{
    static const QRegularExpression twoDigitYear(QStringLiteral("(?<!y)yy(?!y)"));
    static const QRegularExpression twoDigitDay(QStringLiteral("(?<!d)dd(?!d)"));
    static const QRegularExpression twoDigitMonth(QStringLiteral("(?<!M)MM(?!M)"));
    format.replace(twoDigitYear, QStringLiteral("yyyy"));
    format.replace(twoDigitDay, QStringLiteral("d"));
    format.replace(twoDigitMonth, QStringLiteral("M"));
    return format;
}

// The date forms of the locale, most used first.
QStringList dateFormats(const QLocale &locale)
{
    const QString longForm = locale.dateFormat(QLocale::LongFormat);
    QString longWithoutWeekday = longForm;
    static const QRegularExpression weekday(QStringLiteral("\\s*dddd[,.]?\\s*"));
    longWithoutWeekday.remove(weekday);

    QStringList formats;
    for (const QString &format : {DateText::format(), locale.dateFormat(QLocale::ShortFormat),
                                  longForm, longWithoutWeekday.trimmed()}) {
        const QString lenient = lenientFormat(format);
        if (!lenient.isEmpty() && !formats.contains(lenient))
            formats.append(lenient);
    }
    return formats;
}

std::optional<QDate> accepted(const QDate &date)
{
    // Qt reads a sign in front of a year; a date before the year 1 is never meant.
    if (date.isValid() && date.year() >= 1)
        return date;
    return std::nullopt;
}

} // namespace

double Conversions::roundHalfToEven(double value)
{
    const double below = std::floor(value);
    const double fraction = value - below;
    if (fraction < 0.5)
        return below;
    if (fraction > 0.5)
        return below + 1.0;
    return std::fmod(below, 2.0) == 0.0 ? below : below + 1.0;
}

std::optional<qint32> Conversions::toInteger(const QString &text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    bool ok = false;
    const double number = QLocale().toDouble(trimmed, &ok);
    if (!ok || !std::isfinite(number))
        return std::nullopt;
    const double rounded = roundHalfToEven(number);
    if (rounded < double(std::numeric_limits<qint32>::min()) ||
        rounded > double(std::numeric_limits<qint32>::max()))
        return std::nullopt;
    return static_cast<qint32>(rounded);
}

std::optional<QDate> Conversions::toDate(const QString &text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;

    if (const auto iso = accepted(QDate::fromString(trimmed, QStringLiteral("yyyy-MM-dd"))))
        return iso;

    const QLocale locale;
    const QStringList formats = dateFormats(locale);
    for (const QString &format : formats) {
        if (const auto date = accepted(locale.toDate(trimmed, format)))
            return date;
    }

    // Every form reads a four-digit year, so a two-digit year is widened to 20yy: each group of
    // exactly two digits is tried as the year in turn. Only the true year position can parse,
    // since day and month never take four digits.
    static const QRegularExpression twoDigits(QStringLiteral("(?<!\\d)\\d{2}(?!\\d)"));
    for (auto it = twoDigits.globalMatch(trimmed); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        QString widened = trimmed;
        widened.insert(match.capturedStart(), QStringLiteral("20"));
        for (const QString &format : formats) {
            if (const auto date = accepted(locale.toDate(widened, format)))
                return date;
        }
    }
    return std::nullopt;
}
