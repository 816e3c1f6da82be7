#pragma once

#include <QtGlobal>

// The share of the day's allowance that a session still has, in per cent, for the session's
// progress bar.
class RemainingShare
{
public:
    // minutes / minutesPerDay * 100, worked out in double and handed on as float. An allowance
    // of 0 gives 0, so the figure is always a finite number (it may lie outside 0..100: the
    // bar rounds it and holds it inside; -1 of -1, a session without limit, is a full bar).
    static float percent(qint32 minutes, qint32 minutesPerDay);
};
