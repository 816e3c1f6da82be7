#include "core/rules/RemainingShare.h"
#include "core/widgets/ProgressBar.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace {

TEST(RemainingShare, TheBarShowsTheShareOfTheDaysAllowanceLeft)
{
    const qint32 max = std::numeric_limits<qint32>::max();
    const qint32 min = std::numeric_limits<qint32>::min();
    const struct
    {
        qint32 minutes;
        qint32 perDay;
        int shown;
    } cases[] = {
        {30, 60, 50},  {45, 60, 75},  {60, 60, 100}, {0, 60, 0},  {1, 3, 33},
        {2, 3, 67},    {90, 60, 100},            // more left than a day holds: full
        {-1, -1, 100},                           // no limit: full
        {-7, -1, 100}, {-1, 60, 0},   {5, 0, 0}, // no allowance: empty, never a division by 0
        {0, 0, 0},     {-3, 0, 0},    {max, 1, 100}, {min, 1, 0}, {min, -1, 100},
    };
    for (const auto &c : cases) {
        const float percent = RemainingShare::percent(c.minutes, c.perDay);
        EXPECT_TRUE(std::isfinite(percent)) << c.minutes << " of " << c.perDay;
        EXPECT_EQ(ProgressBar::clampPercent(percent), c.shown) << c.minutes << " of " << c.perDay;
    }
}

} // namespace
