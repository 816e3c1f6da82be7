#pragma once

#include <QString>

// Starts another program, detached from this one.
class ProgramStarter
{
public:
    virtual ~ProgramStarter() = default;
    // Returns false when the program could not be started.
    virtual bool start(const QString &path) = 0;
};
