#include "LauncherSocket.h"

#include "LauncherProtocol.h"

#include <QByteArray>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

namespace {
constexpr const char *Variable = LauncherProtocol::FdVariable;

long long nowMs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}
} // namespace

std::unique_ptr<LauncherSocket> LauncherSocket::fromEnvironment()
{
    const QByteArray text = qgetenv(Variable);
    qunsetenv(Variable);
    if (text.isEmpty())
        return nullptr;
    bool ok = false;
    const int fd = text.toInt(&ok);
    struct stat info
    {};
    if (!ok || fd <= STDERR_FILENO || fstat(fd, &info) != 0 || !S_ISSOCK(info.st_mode)) {
        std::fprintf(stderr, "TimoraDesk: %s does not name the launcher's socket\n", Variable);
        return nullptr;
    }
    fcntl(fd, F_SETFD, FD_CLOEXEC);
    return std::make_unique<LauncherSocket>(fd);
}

LauncherSocket::LauncherSocket(int fd, int answerSeconds) : m_fd(fd), m_answerSeconds(answerSeconds)
{}

LauncherSocket::~LauncherSocket()
{
    close(m_fd);
}

void LauncherSocket::sessionStarted(qint32 minutes)
{
    tell(LauncherProtocol::sessionLine(minutes) + "\n");
}

void LauncherSocket::sessionEnded()
{
    if (!tell(std::string(LauncherProtocol::End) + "\n"))
        return;
    const std::string said = answer(m_answerSeconds);
    if (said == LauncherProtocol::Unclean)
        std::fprintf(stderr, "TimoraDesk: the launcher could not end every program of the "
                             "session\n");
    else if (said != LauncherProtocol::Ended)
        std::fprintf(stderr, "TimoraDesk: the launcher did not say that the session's programs "
                             "have ended\n");
}

void LauncherSocket::powerActionFailed()
{
    tell(std::string(LauncherProtocol::Again) + "\n");
}

bool LauncherSocket::tell(const std::string &line)
{
    if (send(m_fd, line.data(), line.size(), MSG_NOSIGNAL | MSG_DONTWAIT) ==
        static_cast<ssize_t>(line.size()))
        return true;
    if (!m_reported)
        std::fprintf(stderr, "TimoraDesk: the launcher cannot be told of the session: %s\n",
                     std::strerror(errno));
    m_reported = true;
    return false;
}

std::string LauncherSocket::answer(int seconds)
{
    std::string line;
    bool whole = false;
    LauncherProtocol::LineReader lines;
    const long long until = nowMs() + seconds * 1000LL;
    while (!whole) {
        const long long left = until - nowMs();
        pollfd wait{m_fd, POLLIN, 0};
        const int ready = left > 0 ? poll(&wait, 1, static_cast<int>(left)) : 0;
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            break;
        // One byte at a time: what follows the line stays for the next answer.
        char byte = 0;
        if (recv(m_fd, &byte, 1, MSG_DONTWAIT) != 1)
            break;
        lines.take(&byte, 1, [&](const std::string &got) {
            line = got;
            whole = true;
        });
    }
    return whole ? line : std::string();
}
