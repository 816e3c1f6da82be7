#include "core/rules/DayRule.h"

Logon DayRule::apply(const AccountSlot &slot, bool administrator, const QString &today)
{
    Logon result;
    result.outcome = Logon::LoggedOn;
    result.stored = slot;
    result.grant.userId = slot.userId;
    result.grant.minsPerDay = slot.minsPerDay;
    result.grant.administrator = administrator;
    if (slot.minsPerDay == 0 && !administrator) {
        result.outcome = Logon::Disabled;
        return result;
    }
    if (today == slot.lastDate) {
        if (slot.minsLeft == 0) {
            result.outcome = Logon::NoTimeLeft;
            return result;
        }
        result.grant.minutes = slot.minsLeft;
    } else {
        result.grant.minutes = slot.minsPerDay;
        result.stored.lastDate = today;
    }
    result.stored.minsLeft = administrator ? -1 : 0;
    return result;
}
