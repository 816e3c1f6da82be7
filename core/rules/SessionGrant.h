#pragma once

#include <QString>
#include <QtGlobal>

// What a logon grants: the account that is logged on, where its row is stored, the minutes of
// its session and the token that lets the session's end store the remainder once.
struct SessionGrant
{
    // The stored key of the account's row (AccountStore).
    qint64 key = 0;
    // The session's token in the store: its end is stored only while the row still carries it.
    QString token;
    QString userId;
    // The minutes of the session; below zero it counts without limit.
    qint32 minutes = 0;
    // The account's minutes per day, what the session's share is measured against.
    qint32 minsPerDay = 0;
    bool administrator = false;

    bool operator==(const SessionGrant &) const = default;
};
