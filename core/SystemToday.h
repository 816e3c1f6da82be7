#pragma once

#include "Today.h"

class SystemToday : public Today
{
public:
    QDate date() const override { return QDate::currentDate(); }
};
