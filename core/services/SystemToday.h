#pragma once

#include "core/services/Today.h"

class SystemToday : public Today
{
public:
    QDate date() const override { return QDate::currentDate(); }
};
