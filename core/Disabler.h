#pragma once

// Shuts off the machine's ways around the logon window while its switches are on, and carries
// out the restart or shut-down of the computer. The switches are always set together.
class Disabler
{
public:
    virtual ~Disabler() = default;

    virtual void setSwitches(bool on) = 0;
    virtual bool switches() const = 0;

    // Ask for the restart or the shut-down of the computer. False when the request was refused
    // or could not be made.
    virtual bool restart() = 0;
    virtual bool shutDown() = 0;
};
