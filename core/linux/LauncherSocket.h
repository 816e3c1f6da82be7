#pragma once

#include "core/services/SessionHandover.h"

#include <memory>
#include <string>

// The session's start and end told to the kiosk launcher, one line each (LauncherProtocol) on the
// socket it handed the program. Writing never blocks and never raises SIGPIPE: a launcher that
// has gone is reported once on standard error. The end waits for the launcher's answer that the
// kiosk account's programs have ended, for a few seconds at most.
class LauncherSocket : public SessionHandover
{
public:
    // The socket named by TIMORA_LAUNCHER_FD (which is then removed from the environment, and the
    // descriptor kept from programs the program starts); null without one, or when that
    // descriptor is not a socket.
    static std::unique_ptr<LauncherSocket> fromEnvironment();

    // Takes over fd; the end waits at most answerSeconds for the launcher's answer.
    explicit LauncherSocket(int fd, int answerSeconds = 15);
    ~LauncherSocket() override;
    LauncherSocket(const LauncherSocket &) = delete;
    LauncherSocket &operator=(const LauncherSocket &) = delete;

    void sessionStarted(qint32 minutes) override;
    void sessionEnded() override;
    void powerActionFailed() override;

private:
    // False when the line could not be sent.
    bool tell(const std::string &line);
    // The launcher's next line, or empty when none came within seconds.
    std::string answer(int seconds);

    int m_fd;
    int m_answerSeconds;
    bool m_reported = false;
};
