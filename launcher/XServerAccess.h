#pragma once

#include <string>
#include <sys/types.h>

// The launcher's ties to the X server of its seat, in the X11 protocol itself (no library that
// reads its caller's environment): whose server it is, the display's cookie, and a connection of
// the launcher's own that lets TimoraDesk's account in and keeps that grant alive.
namespace XServerAccess {

// The MIT-MAGIC-COOKIE-1 of display number, taken from an X authority file's text; empty when it
// holds none for that display.
std::string cookieFromAuthority(const std::string &authority, const std::string &number);

// The contents of an X authority file that holds cookie for display number on host.
std::string authorityFor(const std::string &host, const std::string &number,
                         const std::string &cookie);

// The owner of the X server of display number: the user id of the process that listens on
// /tmp/.X11-unix/X<number> (and on the abstract socket of that name, where there is one), or -1
// with why set when there is no server, the socket is not root's or the two differ.
long serverOwner(const std::string &number, std::string &why);

// A connection to the server of display number (with cookie, or none when it is empty) that
// adds the local account to the server's access list. Returns the connection's descriptor, or -1
// with why set. While it stays open the server does not reset its access list.
int grantLocalUser(const std::string &number, const std::string &cookie, const std::string &account,
                   std::string &why);

} // namespace XServerAccess
