#pragma once

#include <QString>
#include <QtGlobal>

// One account of the shared machine: its logon, its daily allowance and what is left of it today.
struct AccountSlot
{
    QString userId;
    QString password;
    qint32 minsPerDay = 0;
    QString lastDate;
    qint32 minsLeft = 0;

    bool operator==(const AccountSlot &) const = default;
};
