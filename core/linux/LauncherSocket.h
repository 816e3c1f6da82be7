#pragma once

#include "core/services/SessionHandover.h"

#include <memory>
#include <string>

// The session's start and end told to the kiosk launcher, one line each ("session MINUTES",
// "end") on the socket it handed the program. Writing never blocks and never raises SIGPIPE: a
// launcher that has gone is reported once on standard error.
class LauncherSocket : public SessionHandover
{
public:
    // The socket named by TIMORA_LAUNCHER_FD (which is then removed from the environment, and the
    // descriptor kept from programs the program starts); null without one, or when that
    // descriptor is not a socket.
    static std::unique_ptr<LauncherSocket> fromEnvironment();

    // Takes over fd.
    explicit LauncherSocket(int fd);
    ~LauncherSocket() override;
    LauncherSocket(const LauncherSocket &) = delete;
    LauncherSocket &operator=(const LauncherSocket &) = delete;

    void sessionStarted(qint32 minutes) override;
    void sessionEnded() override;

private:
    void tell(const std::string &line);

    int m_fd;
    bool m_reported = false;
};
