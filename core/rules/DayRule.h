#pragma once

#include "core/rules/AccountSlot.h"
#include "core/rules/Logon.h"

// The day rule of a logon, the same for the local file and for a room's server: an account
// with no minutes a day is disabled (never the administrator), an account already used today
// continues with what is left, and a new day starts with the whole allowance. A logon that
// stands stores today's date and 0 minutes left (-1 for the administrator, whose time is not
// counted) until the session end stores the remainder.
class DayRule
{
public:
    // LoggedOn, Disabled or NoTimeLeft, with the session's minutes and the slot to store when
    // logged on.
    static Logon apply(const AccountSlot &slot, bool administrator, const QString &today);
};
