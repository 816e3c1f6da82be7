#pragma once

#include <QtGlobal>

// Tells the program's launcher when an ordinary user's session starts and ends. On a kiosk the
// launcher then starts that user's desktop, keeps the session's deadline outside the program (so
// the minutes run out whatever happens to the program's window thread), and ends every program
// of the kiosk account when the session is over, before the program asks for the restart or
// shut-down.
class SessionHandover
{
public:
    virtual ~SessionHandover() = default;
    // The session starts with minutes (below zero: without limit).
    virtual void sessionStarted(qint32 minutes) = 0;
    // Returns once the launcher has ended every program of the kiosk account (or has not answered
    // within a few seconds), so that none of them can hold back the power action that follows.
    virtual void sessionEnded() = 0;
    // The restart or shut-down after the session was refused: the launcher starts the program
    // anew when it has ended, so that its logon window comes back.
    virtual void powerActionFailed() = 0;
};
