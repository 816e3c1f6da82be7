#pragma once

#include <QString>

// The machine's power management: holds that keep the power keys, the lid and sleep from taking
// the machine away from the logon window, and the restart and shut-down of the computer.
class PowerBackend
{
public:
    enum class Hold {
        PowerKeys, // the power, suspend and hibernate keys and the lid switch
        Sleep,     // suspend and hibernation, whoever asks for them
    };

    virtual ~PowerBackend() = default;

    // Takes the hold (a second call keeps the one already taken). False when it cannot be
    // taken; errorText() then says why.
    virtual bool hold(Hold what) = 0;
    virtual void release(Hold what) = 0;
    virtual bool isHeld(Hold what) const = 0;

    // Ask for the restart or the power-off of the computer. False when the request was refused
    // or could not be made; errorText() then says why.
    virtual bool reboot() = 0;
    virtual bool powerOff() = 0;

    virtual QString errorText() const = 0;
};
