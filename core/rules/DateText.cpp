#include "core/rules/DateText.h"

#include <QLocale>
#include <QRegularExpression>

QString DateText::format()
{
    QString fmt = QLocale().dateFormat(QLocale::ShortFormat);
    // Widen a two-digit year ("yy" not part of "yyyy") to four digits.
    static const QRegularExpression twoDigitYear(QStringLiteral("(?<!y)yy(?!y)"));
    fmt.replace(twoDigitYear, QStringLiteral("yyyy"));
    return fmt;
}

QString DateText::fromDate(const QDate &date)
{
    return QLocale().toString(date, format());
}
