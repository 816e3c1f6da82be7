#pragma once

#include <functional>

// Lets a window finish its work when the program is told to end (log-out, the power button, a
// plain `kill`): the clean-up runs in the event loop, and the program then ends by the signal.
class TerminationWatch
{
public:
    virtual ~TerminationWatch() = default;
    virtual void add(const void *owner, std::function<void()> cleanUp) = 0;
    virtual void remove(const void *owner) = 0;
};
