#pragma once

#include <QDate>
#include <QString>
#include <optional>

// The last logon date of an account between its text and its date. The account table holds it as
// this computer's date text (DateText); a room's server holds the date itself, so computers with
// different date locales read and compare one and the same day.
class StoredDate
{
public:
    // The date a stored or typed text names: the first-run date, or any form the grid accepts,
    // read in this computer's locale. No date for an empty or unreadable text.
    static std::optional<QDate> read(const QString &text);
    // The date as this computer's date text; empty for a null date.
    static QString text(const QDate &date);
    // A typed date in the one form the program writes (the form of today's date), so that it
    // compares equal with today's text on that day; empty and unreadable texts stay as they are.
    static QString normalized(const QString &typed);
};
