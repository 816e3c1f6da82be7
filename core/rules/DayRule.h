#pragma once

#include "core/rules/AccountSlot.h"

// The day rule of a logon, the same for the local file and for a room's server: an account
// with no minutes a day is disabled (never the administrator), an account already used today
// continues with what is left, and a new day starts with the whole allowance. A logon that
// stands stores today's date and 0 minutes left (-1 for the administrator, whose time is not
// counted) until the session end stores the remainder.
class DayRule
{
public:
    enum class Verdict { Granted, Disabled, NoTimeLeft };
    struct Result
    {
        Verdict verdict = Verdict::Granted;
        // The minutes of the session that starts; meaningful when granted.
        qint32 sessionMinutes = 0;
        // The slot as it is to be stored when granted; the slot as it was otherwise.
        AccountSlot stored;
    };

    static Result apply(const AccountSlot &slot, bool administrator, const QString &today);
};
