#include "SimulatedDisabler.h"

void SimulatedDisabler::setSwitches(bool on)
{
    m_on = on;
    say(on ? "switches on" : "switches off");
}

bool SimulatedDisabler::restart()
{
    say("restart requested");
    return true;
}

bool SimulatedDisabler::shutDown()
{
    say("shut-down requested");
    return true;
}

void SimulatedDisabler::say(const char *line)
{
    std::fprintf(m_out, "%s\n", line);
    std::fflush(m_out);
}
