#pragma once

#include "core/rules/AccountTable.h"

// Two different account tables that the savers of the kill tests store in turn: three accounts
// "V0USER1.." or seven accounts "V1USER1..", so that a file that loads as anything but one of the
// two as a whole is a torn save.
inline void fillAlternatingTable(AccountTable &table, int version)
{
    table.reset();
    const int count = version == 0 ? 3 : 7;
    QList<AccountSlot> accounts;
    for (int n = 1; n <= count; ++n)
        accounts.append({QStringLiteral("V%1USER%2").arg(version).arg(n),
                         QStringLiteral("PW%1").arg(n), 60 + version, QStringLiteral("8 Dec 2026"),
                         n + 100 * version});
    table.setAccounts(accounts);
}
