#pragma once

#include "core/services/PowerBackend.h"

#include <QStringList>

// Power management that keeps a log of its requests and can be told to refuse them.
class FakePowerBackend : public PowerBackend
{
public:
    bool hold(Hold what) override
    {
        log.append(what == Hold::PowerKeys ? QStringLiteral("hold power keys")
                                           : QStringLiteral("hold sleep"));
        if (refuse)
            return false;
        held[static_cast<int>(what)] = true;
        return true;
    }
    void release(Hold what) override { held[static_cast<int>(what)] = false; }
    bool isHeld(Hold what) const override { return held[static_cast<int>(what)]; }
    bool reboot() override
    {
        log.append(QStringLiteral("reboot"));
        return !refuse;
    }
    bool powerOff() override
    {
        log.append(QStringLiteral("power off"));
        return !refuse;
    }
    QString errorText() const override { return QStringLiteral("logind is not running"); }

    bool refuse = false;
    bool held[2] = {false, false};
    QStringList log;
};
