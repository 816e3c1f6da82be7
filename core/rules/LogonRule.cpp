#include "core/rules/LogonRule.h"

#include "core/rules/AccountConstants.h"
#include "core/rules/DayRule.h"

#include <cstdio>

LogonRule::Result LogonRule::apply(const QList<AccountSlot> &accounts, const QString &user,
                                   const QString &password, const QString &today)
{
    Result result;
    for (qsizetype i = 0; i < accounts.size(); ++i) {
        if (accounts.at(i).userId == user && accounts.at(i).password == password) {
            result.slot = int(i) + 1;
            break;
        }
    }
    if (result.slot == 0)
        return result;
    const AccountSlot &slot = accounts.at(result.slot - 1);
    result.administrator = slot.userId == AccountConstants::AdminId;
    const DayRule::Result rule = DayRule::apply(slot, result.administrator, today);
    switch (rule.verdict) {
    case DayRule::Verdict::Disabled:
        result.outcome = Result::Disabled;
        return result;
    case DayRule::Verdict::NoTimeLeft:
        result.outcome = Result::NoTimeLeft;
        return result;
    case DayRule::Verdict::Granted:
        break;
    }
    result.outcome = Result::LoggedOn;
    result.sessionMinutes = rule.sessionMinutes;
    result.stored = rule.stored;
    return result;
}

bool LogonRule::unsaved(Result &result, const AppError &error)
{
    if (result.administrator) {
        result.saveError = error;
        return true;
    }
    std::fprintf(stderr, "TimoraDesk: the logon of %s is refused: %s\n",
                 qPrintable(result.stored.userId), qPrintable(error.description()));
    std::fflush(stderr);
    result.outcome = Result::CannotSave;
    return false;
}
