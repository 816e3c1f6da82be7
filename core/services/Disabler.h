#pragma once

#include <functional>

// Shuts off the machine's ways around the logon window while its switches are on, and carries
// out the restart or shut-down of the computer. The switches are always set together.
class Disabler
{
public:
    virtual ~Disabler() = default;

    virtual void setSwitches(bool on) = 0;
    virtual bool switches() const = 0;

    // While the switches are on: another program holds the keyboard, so what is typed does not
    // reach this program (and may reach that one). False where there is no keyboard to hold.
    virtual bool keyboardTaken() const { return false; }
    // Called on the program's thread whenever keyboardTaken() changes.
    virtual void whenKeyboardChanges(std::function<void()> callback) { (void)callback; }

    // Ask for the restart or the shut-down of the computer. False when the request was refused
    // or could not be made.
    virtual bool restart() = 0;
    virtual bool shutDown() = 0;
};
