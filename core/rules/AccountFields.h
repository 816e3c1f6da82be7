#pragma once

#include "core/rules/AccountSlot.h"

// One account as it comes from storage in text fields (a settings file's keys, a room's
// columns): whatever the fields hold, the slot is one the rules can work with. Minutes that are
// not plain decimal numbers in range read as 0, so that damaged or hostile storage never grants
// unlimited time (-1).
class AccountFields
{
public:
    static qint32 minutes(const QString &text);
    static AccountSlot read(const QString &user, const QString &password, const QString &mins,
                            const QString &date, const QString &left);
};
