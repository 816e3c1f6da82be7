#pragma once

// Shuts off the machine's ways around the logon window while its switches are on, and carries
// out the restart or shut-down of the computer. The switches are always set together.
class Disabler
{
public:
    virtual ~Disabler() = default;

    virtual void setSwitches(bool on) = 0;
    virtual bool switches() const = 0;

    // Fire and forget: the caller ends the program right after either call.
    virtual void restart() = 0;
    virtual void shutDown() = 0;
};
