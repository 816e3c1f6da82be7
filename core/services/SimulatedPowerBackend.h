#pragma once

#include "core/services/PowerBackend.h"

#include <cstdio>

// Holds nothing and restarts nothing: says on standard error which request it was given.
class SimulatedPowerBackend : public PowerBackend
{
public:
    explicit SimulatedPowerBackend(std::FILE *out = stderr) : m_out(out) {}

    bool hold(Hold what) override;
    void release(Hold what) override;
    bool isHeld(Hold what) const override;
    bool reboot() override;
    bool powerOff() override;
    QString errorText() const override { return {}; }

private:
    void say(const char *line);

    std::FILE *m_out;
    bool m_held[2] = {false, false};
};
