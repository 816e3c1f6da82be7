#pragma once

#include "Disabler.h"

#include <cstdio>

// Touches nothing: says on standard error what it was asked to do, one line per call.
class SimulatedDisabler : public Disabler
{
public:
    explicit SimulatedDisabler(std::FILE *out = stderr) : m_out(out) {}

    void setSwitches(bool on) override;
    bool switches() const override { return m_on; }
    bool restart() override;
    bool shutDown() override;

private:
    void say(const char *line);

    std::FILE *m_out;
    bool m_on = false;
};
