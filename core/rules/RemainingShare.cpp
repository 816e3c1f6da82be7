#include "core/rules/RemainingShare.h"

float RemainingShare::percent(qint32 minutes, qint32 minutesPerDay)
{
    if (minutesPerDay == 0)
        return 0.0f;
    return static_cast<float>(double(minutes) / double(minutesPerDay) * 100.0);
}
