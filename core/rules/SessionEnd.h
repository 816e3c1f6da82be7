#pragma once

#include <QString>
#include <functional>

class AppError;

// What the end of a session asks of the world outside the rules, in this order: today's date
// text is stored with the remainder, a remainder that could not be stored is reported, the
// launcher is told (it returns once the kiosk account's programs are gone, so that none of them
// holds the power action back), the restart or shut-down is asked for, and a refusal of it is
// told to the launcher. A piece left empty is not there.
struct SessionEnd
{
    std::function<QString()> today;
    std::function<void(const AppError &error)> storeFailed;
    std::function<void()> sessionEnded;
    // Asks for the restart (true) or the shut-down; false when the request was refused.
    std::function<bool(bool restart)> powerAction;
    std::function<void()> powerActionFailed;

    // What every end does once the remainder is stored (or, for a session overdue, once the
    // store is known to hold the logon's 0): the launcher told, the power action asked for, a
    // refusal told.
    void handOver(bool restart) const
    {
        if (sessionEnded)
            sessionEnded();
        if (powerAction && !powerAction(restart) && powerActionFailed)
            powerActionFailed();
    }
};
