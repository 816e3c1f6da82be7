#pragma once

#include <QDate>

// Today's date on the system clock.
class Today
{
public:
    virtual ~Today() = default;
    virtual QDate date() const = 0;
};
