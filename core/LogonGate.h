#pragma once

// The logon window as seen by the windows it hands over to, so that they need not depend on it.
class LogonGate
{
public:
    virtual ~LogonGate() = default;
    // Makes the logon window wait for a logon again: visible, guard running, normal state,
    // no account logged on.
    virtual void bringBack() = 0;
    // Drops the program's handle on the logon window without running its close handling.
    virtual void forget() = 0;
};
