#pragma once

#include <QDate>
#include <QString>
#include <optional>

// The locale-aware readings of what a person types into a number or date field. Each one both
// decides whether a field is acceptable and gives the value that is stored, so the two can never
// disagree. Both follow the program's locale (QLocale(), the system's unless set otherwise).
class Conversions
{
public:
    // A signed 32-bit integer: blanks around it and a sign are allowed, the locale's decimal and
    // group separators are understood, a fraction is rounded to the nearest integer with a half
    // going to the even neighbour. Empty or blank-only text, anything that is not a number and
    // values outside the signed 32-bit range give no value.
    static std::optional<qint32> toInteger(const QString &text);

    // A date: the stored date text (short form with a four-digit year), the locale's own short
    // and long forms (the long form also without its weekday), day and month of one or two
    // digits, and ISO 8601 (2026-12-08). A year of two digits means 2000 to 2099. Blanks around
    // the date are allowed; empty or blank-only text gives no date.
    static std::optional<QDate> toDate(const QString &text);

    // Rounds to the nearest integer, a half going to the even neighbour (2.5 -> 2, 3.5 -> 4).
    static double roundHalfToEven(double value);
};
