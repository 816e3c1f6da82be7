#include "SignalTerminationWatch.h"

#include "TerminationSignals.h"

#include <utility>

void SignalTerminationWatch::add(const void *owner, std::function<void()> cleanUp)
{
    TerminationSignals::add(owner, std::move(cleanUp));
}

void SignalTerminationWatch::remove(const void *owner)
{
    TerminationSignals::remove(owner);
}
