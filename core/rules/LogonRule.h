#pragma once

#include "core/rules/AccountSlot.h"
#include "core/rules/LogonOutcome.h"

#include <QList>

// The logon on a table of accounts: the first slot whose user id and password are exactly the
// ones given (already upper-cased) is the account, the day rule decides, and a logon that stands
// says what its slot is to hold. Every store applies it to the rows it holds or has just read.
class LogonRule
{
public:
    struct Result : LogonOutcome
    {
        Outcome outcome = Invalid;
        // The matching slot, from 1; 0 when none matches.
        int slot = 0;
        bool administrator = false;
        // The minutes of the session that starts; meaningful when logged on.
        qint32 sessionMinutes = 0;
        // The slot as it is to be stored when logged on.
        AccountSlot stored;
    };

    static Result apply(const QList<AccountSlot> &accounts, const QString &user,
                        const QString &password, const QString &today);
};
