#include "SimulatedDisabler.h"

void SimulatedDisabler::setSwitches(bool on)
{
    m_on = on;
    say(on ? "switches on" : "switches off");
}

void SimulatedDisabler::restart()
{
    say("restart requested");
}

void SimulatedDisabler::shutDown()
{
    say("shut-down requested");
}

void SimulatedDisabler::say(const char *line)
{
    std::fprintf(m_out, "%s\n", line);
    std::fflush(m_out);
}
