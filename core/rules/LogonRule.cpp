#include "core/rules/LogonRule.h"

#include "core/rules/AccountConstants.h"
#include "core/rules/DayRule.h"

#include <cstdio>

Logon LogonRule::apply(const QList<AccountSlot> &accounts, const QString &user,
                       const QString &password, const QString &today)
{
    for (qsizetype i = 0; i < accounts.size(); ++i) {
        const AccountSlot &slot = accounts.at(i);
        if (slot.userId == user && slot.password == password) {
            Logon result = DayRule::apply(slot, slot.userId == AccountConstants::AdminId, today);
            result.slot = int(i) + 1;
            return result;
        }
    }
    return Logon();
}

bool LogonRule::unsaved(Logon &result, const AppError &error)
{
    if (result.administrator()) {
        result.saveError = error;
        return true;
    }
    std::fprintf(stderr, "TimoraDesk: the logon of %s is refused: %s\n",
                 qPrintable(result.stored.userId), qPrintable(error.description()));
    std::fflush(stderr);
    result.outcome = Logon::CannotSave;
    return false;
}
