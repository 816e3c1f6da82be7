#include "core/widgets/ProgressBar.h"

#include <cmath>

ProgressBar::ProgressBar(QWidget *parent) : QProgressBar(parent)
{
    setRange(0, 100);
    setValue(0);
}

int ProgressBar::clampPercent(float percent)
{
    if (std::isnan(percent))
        return 0;
    if (percent <= 0.0f)
        return 0;
    if (percent >= 100.0f)
        return 100;
    return static_cast<int>(std::lround(percent));
}

void ProgressBar::setPercent(float percent)
{
    setValue(clampPercent(percent));
}
