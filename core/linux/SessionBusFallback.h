#pragma once

#include <QByteArray>

// Where no D-Bus session bus exists (a kiosk's bare X session can be one), libdbus would try to
// "autolaunch" one through dbus-launch for the accessibility bridge and the tray: that waits on
// a helper that may not be installed, and a failed attempt leaves its read buffer behind.
// Before the application starts, this points the session bus address at a place where no bus can
// be, so that those parts find no bus at once and the program goes on without them.
class SessionBusFallback
{
public:
    // The address used when there is no session bus: /dev/null is never a socket, so connecting
    // fails at once with no process started.
    static QByteArray noBusAddress();

    // True when the environment names no session bus and libdbus would fall back to autolaunch:
    // DBUS_SESSION_BUS_ADDRESS unset or empty and no socket "bus" in XDG_RUNTIME_DIR.
    static bool wouldAutolaunch();

    // Sets DBUS_SESSION_BUS_ADDRESS to noBusAddress() when wouldAutolaunch(); returns whether it
    // did. An existing bus, named or in XDG_RUNTIME_DIR, is left as it is.
    static bool apply();
};
