#pragma once

#include "core/services/TerminationWatch.h"

// The termination watch on SIGTERM, SIGINT and SIGHUP.
class SignalTerminationWatch : public TerminationWatch
{
public:
    void add(const void *owner, std::function<void()> cleanUp) override;
    void remove(const void *owner) override;
};
