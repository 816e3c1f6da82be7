#pragma once

#include <functional>

// Lets the program put things back when it is told to end (SIGTERM, SIGINT, SIGHUP): the signal
// is carried into the event loop, every registered clean-up runs, and the program then ends by
// that signal as it would have without them.
class TerminationSignals
{
public:
    // Registers a clean-up under its owner; the first one starts watching the signals. Needs the
    // application object.
    static void add(const void *owner, std::function<void()> cleanUp);
    static void remove(const void *owner);
};
