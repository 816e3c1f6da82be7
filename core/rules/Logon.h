#pragma once

#include "core/rules/AccountSlot.h"
#include "core/rules/AppError.h"
#include "core/rules/SessionGrant.h"

#include <optional>

// How one logon attempt ends, one type from the day rule through the store to the logon window.
struct Logon
{
    enum Outcome {
        LoggedOn,
        // The store must not be used (a settings file others could have changed, a service file
        // others can read) or cannot be reached.
        StoreRefused,
        Invalid,
        Disabled,
        NoTimeLeft,
        // The logon stood, but the store could not hold the 0 that protects the session.
        CannotSave
    };

    Outcome outcome = Invalid;
    // The matching slot, from 1; 0 when none matches.
    int slot = 0;
    // The session granted; meaningful when logged on (its key and token once the store holds the
    // logon).
    SessionGrant grant;
    // The slot as it is to be stored when logged on; the slot as it was otherwise.
    AccountSlot stored;
    // A logon of the administrator that stands although the store could not be written.
    std::optional<AppError> saveError;
    // The box the logon window shows for a refusal; empty when logged on.
    QString refusal;

    bool administrator() const { return grant.administrator; }
};
