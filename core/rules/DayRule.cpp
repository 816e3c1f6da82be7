#include "core/rules/DayRule.h"

DayRule::Result DayRule::apply(const AccountSlot &slot, bool administrator, const QString &today)
{
    Result result;
    result.stored = slot;
    if (slot.minsPerDay == 0 && !administrator) {
        result.verdict = Verdict::Disabled;
        return result;
    }
    if (today == slot.lastDate) {
        if (slot.minsLeft == 0) {
            result.verdict = Verdict::NoTimeLeft;
            return result;
        }
        result.sessionMinutes = slot.minsLeft;
    } else {
        result.sessionMinutes = slot.minsPerDay;
        result.stored.lastDate = today;
    }
    result.stored.minsLeft = administrator ? -1 : 0;
    return result;
}
