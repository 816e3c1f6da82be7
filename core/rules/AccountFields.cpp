#include "core/rules/AccountFields.h"

#include <limits>

qint32 AccountFields::minutes(const QString &text)
{
    // Only a sign and ASCII digits: Qt's own reading stops at an embedded NUL, so "-1" followed
    // by a NUL and garbage (a file damaged by a crash) would otherwise read as -1.
    const QString number = text.trimmed();
    for (qsizetype i = 0; i < number.size(); ++i) {
        const QChar c = number.at(i);
        const bool sign = i == 0 && (c == QLatin1Char('-') || c == QLatin1Char('+'));
        if (!sign && (c < QLatin1Char('0') || c > QLatin1Char('9')))
            return 0;
    }
    bool ok = false;
    const qlonglong value = number.toLongLong(&ok, 10);
    if (!ok || value < std::numeric_limits<qint32>::min() ||
        value > std::numeric_limits<qint32>::max())
        return 0;
    return static_cast<qint32>(value);
}

AccountSlot AccountFields::read(const QString &user, const QString &password, const QString &mins,
                                const QString &date, const QString &left)
{
    return AccountSlot{user, password, minutes(mins), date, minutes(left)};
}
