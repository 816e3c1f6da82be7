#pragma once

#include "core/rules/DateText.h"

#include <QDate>

// Today's date on the system clock.
class Today
{
public:
    virtual ~Today() = default;
    virtual QDate date() const = 0;
    // Today's date as stored date text.
    QString text() const { return DateText::fromDate(date()); }
};
