#pragma once

#include <QProgressBar>

// Progress bar of range 0..100 that takes a per-cent figure as computed, rounds it and keeps it
// inside the range; a figure that is not a number shows as 0.
class ProgressBar : public QProgressBar
{
    Q_OBJECT
public:
    explicit ProgressBar(QWidget *parent = nullptr);
    void setPercent(float percent);
    static int clampPercent(float percent);
};
