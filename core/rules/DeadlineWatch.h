#pragma once

#include <QtGlobal>

// Keeps a running session's deadline (SessionDeadline) where the window thread cannot hold it
// up, and ends the program when the session is overdue. The countdown tells it what it counts.
class DeadlineWatch
{
public:
    virtual ~DeadlineWatch() = default;

    // The countdown starts with these minutes from now, with the power action the end asks for.
    virtual void start(qint32 minutes, bool restart) = 0;
    // The countdown shows these minutes left: the deadline comes forward to them.
    virtual void shorten(qint32 minutesLeft) = 0;
    // The power action the end asks for: restart (true) or shut-down.
    virtual void setRestart(bool restart) = 0;
    // The session ended its own way; nothing is due.
    virtual void clear() = 0;
};
