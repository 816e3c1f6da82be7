#pragma once

#include <QtGlobal>

// Tells the program's launcher when an ordinary user's session starts and ends. On a kiosk the
// launcher then starts that user's desktop, keeps the session's deadline outside the program (so
// the minutes run out whatever happens to the program's window thread), and ends every program
// of the kiosk account when the session is over.
class SessionHandover
{
public:
    virtual ~SessionHandover() = default;
    // The session starts with minutes (below zero: without limit).
    virtual void sessionStarted(qint32 minutes) = 0;
    virtual void sessionEnded() = 0;
};
