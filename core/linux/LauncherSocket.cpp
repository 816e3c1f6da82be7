#include "LauncherSocket.h"

#include <QByteArray>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr const char *Variable = "TIMORA_LAUNCHER_FD";
}

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

LauncherSocket::LauncherSocket(int fd) : m_fd(fd) {}

LauncherSocket::~LauncherSocket()
{
    close(m_fd);
}

void LauncherSocket::sessionStarted(qint32 minutes)
{
    tell("session " + std::to_string(minutes) + "\n");
}

void LauncherSocket::sessionEnded()
{
    tell("end\n");
}

void LauncherSocket::tell(const std::string &line)
{
    if (send(m_fd, line.data(), line.size(), MSG_NOSIGNAL | MSG_DONTWAIT) ==
        static_cast<ssize_t>(line.size()))
        return;
    if (!m_reported)
        std::fprintf(stderr, "TimoraDesk: the launcher cannot be told of the session: %s\n",
                     std::strerror(errno));
    m_reported = true;
}
