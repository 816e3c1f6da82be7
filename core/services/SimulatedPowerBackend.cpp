#include "core/services/SimulatedPowerBackend.h"

bool SimulatedPowerBackend::hold(Hold what)
{
    m_held[static_cast<int>(what)] = true;
    return true;
}

void SimulatedPowerBackend::release(Hold what)
{
    m_held[static_cast<int>(what)] = false;
}

bool SimulatedPowerBackend::isHeld(Hold what) const
{
    return m_held[static_cast<int>(what)];
}

bool SimulatedPowerBackend::reboot()
{
    say("restart requested");
    return true;
}

bool SimulatedPowerBackend::powerOff()
{
    say("shut-down requested");
    return true;
}

void SimulatedPowerBackend::say(const char *line)
{
    std::fprintf(m_out, "%s\n", line);
    std::fflush(m_out);
}
