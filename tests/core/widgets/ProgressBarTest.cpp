#include "core/widgets/ProgressBar.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace {

TEST(ProgressBar, KeepsEveryFigureInsideZeroToHundred)
{
    const float inf = std::numeric_limits<float>::infinity();
    const struct
    {
        float percent;
        int shown;
    } cases[] = {{50.0f, 50}, {75.0f, 75}, {49.6f, 50}, {0.2f, 0}, {150.0f, 100},
                 {-20.0f, 0}, {inf, 100},  {-inf, 0},   {NAN, 0},  {100.0f, 100}};
    for (const auto &c : cases)
        EXPECT_EQ(ProgressBar::clampPercent(c.percent), c.shown) << c.percent;
}

TEST(ProgressBar, TheWidgetShowsTheClampedValue)
{
    ProgressBar bar;
    EXPECT_EQ(bar.minimum(), 0);
    EXPECT_EQ(bar.maximum(), 100);
    bar.setPercent(float(-1.0 / -1.0 * 100.0));
    EXPECT_EQ(bar.value(), 100);
    bar.setPercent(float(30.0 / 0.0 * 100.0));
    EXPECT_EQ(bar.value(), 100);
    bar.setPercent(float(0.0 / 0.0));
    EXPECT_EQ(bar.value(), 0);
}

} // namespace
