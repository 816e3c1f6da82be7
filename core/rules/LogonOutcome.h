#pragma once

// How a logon attempt ends, the same for the rule that finds the account, for every store and
// for the account table that tells the logon window.
struct LogonOutcome
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
};
