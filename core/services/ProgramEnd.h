#pragma once

// Ends the program at once: no window's close handling runs and nothing more is saved.
class ProgramEnd
{
public:
    virtual ~ProgramEnd() = default;
    virtual void endNow() = 0;
};
