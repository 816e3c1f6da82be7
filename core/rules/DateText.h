#pragma once

#include <QDate>
#include <QString>

// Renders dates as the stored date text: the program's locale (the system's) short form with a
// four-digit year, so that every writer and every comparison uses one and the same text.
class DateText
{
public:
    static QString format();
    static QString fromDate(const QDate &date);
};
