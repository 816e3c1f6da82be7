#pragma once

#include "core/rules/AccountSlot.h"

#include <QString>

// What every store and the account table agree on: how many accounts a table holds, the settings
// file's section and keys, the administrator's user id and the account a table starts with when
// nothing is stored yet.
namespace AccountConstants {

inline constexpr int MaxAccounts = 10;
inline const QString AppName = QStringLiteral("TimoraV2");
inline const QString Section = QStringLiteral("SecData");
inline const QString AdminId = QStringLiteral("ADMINISTRATOR");
inline const QString FirstRunPassword = QStringLiteral("QUIVERLANTERN");
inline const QString FirstRunDate = QStringLiteral("01/01/1998");
// Added to the error of a session end that could not be stored.
inline const QString RestForfeitedText = QStringLiteral("; the rest of today is forfeited");

// The stored key of a slot's field: "user1", "left10".
inline QString key(const char *prefix, int slot)
{
    return QLatin1String(prefix) + QString::number(slot);
}

// The first-run administrator with its public password, the one account of an empty table.
inline AccountSlot firstRunAdministrator()
{
    return AccountSlot{AdminId, FirstRunPassword, -1, FirstRunDate, -1};
}

} // namespace AccountConstants
