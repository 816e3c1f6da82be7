#pragma once

#include "core/services/ProgramStarter.h"

class QtProgramStarter : public ProgramStarter
{
public:
    bool start(const QString &path) override;
};
