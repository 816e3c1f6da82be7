#pragma once

#include "core/services/ProgramEnd.h"

class ImmediateProgramEnd : public ProgramEnd
{
public:
    [[noreturn]] void endNow() override;
};
