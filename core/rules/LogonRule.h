#pragma once

#include "core/rules/AccountSlot.h"
#include "core/rules/AppError.h"
#include "core/rules/Logon.h"

#include <QList>

// The logon on a table of accounts: the first slot whose user id and password are exactly the
// ones given (already upper-cased) is the account, the day rule decides, and a logon that stands
// says what its slot is to hold. Every store applies it to the rows it holds or has just read.
class LogonRule
{
public:
    static Logon apply(const QList<AccountSlot> &accounts, const QString &user,
                       const QString &password, const QString &today);
    // The store could not hold the 0 of a logon that stood: the administrator's logon stands
    // (he has no allowance to protect and may have to mend things), with the error to report;
    // any other account is refused (CannotSave), since a killed session or a failed session end
    // would give the same minutes again. Returns whether the logon stands.
    static bool unsaved(Logon &result, const AppError &error);
};
