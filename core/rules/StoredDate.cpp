#include "core/rules/StoredDate.h"

#include "core/rules/AccountConstants.h"
#include "core/rules/Conversions.h"
#include "core/rules/DateText.h"

std::optional<QDate> StoredDate::read(const QString &text)
{
    // The first-run date is written in one form whatever the locale.
    if (text == AccountConstants::FirstRunDate)
        return QDate(1998, 1, 1);
    return Conversions::toDate(text);
}

QString StoredDate::text(const QDate &date)
{
    return date.isValid() ? DateText::fromDate(date) : QString();
}

QString StoredDate::normalized(const QString &typed)
{
    const std::optional<QDate> date = Conversions::toDate(typed);
    return date ? DateText::fromDate(*date) : typed;
}
