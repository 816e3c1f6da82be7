// What the program tells the kiosk launcher, on a socket pair standing in for the launcher's.
#include "core/linux/LauncherSocket.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <string>

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

std::string readAll(int fd)
{
    std::string text;
    char buffer[256];
    ssize_t got;
    while ((got = recv(fd, buffer, sizeof buffer, MSG_DONTWAIT)) > 0)
        text.append(buffer, static_cast<size_t>(got));
    return text;
}

TEST(LauncherSocket, TellsEachSessionStartWithItsMinutesAndItsEndAsLines)
{
    int ends[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, ends), 0);
    {
        LauncherSocket launcher(ends[0]);
        launcher.sessionStarted(45);
        launcher.sessionEnded();
        launcher.sessionStarted(-1);
        EXPECT_EQ(readAll(ends[1]), "session 45\nend\nsession -1\n");
    }
    // The socket went with it: the launcher sees its end.
    char byte;
    EXPECT_EQ(read(ends[1], &byte, 1), 0);
    close(ends[1]);
}

TEST(LauncherSocket, AGoneLauncherNeitherBlocksNorKillsTheProgram)
{
    int ends[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, ends), 0);
    close(ends[1]);
    // SIGPIPE would end the test program.
    LauncherSocket launcher(ends[0]);
    launcher.sessionStarted(10);
    launcher.sessionEnded();
    SUCCEED();
}

TEST(LauncherSocket, OnlyASocketNamedInTheEnvironmentIsTakenAndTheNameIsRemoved)
{
    unsetenv("TIMORA_LAUNCHER_FD");
    EXPECT_EQ(LauncherSocket::fromEnvironment(), nullptr);

    int pipeEnds[2];
    ASSERT_EQ(pipe(pipeEnds), 0);
    setenv("TIMORA_LAUNCHER_FD", std::to_string(pipeEnds[1]).c_str(), 1);
    EXPECT_EQ(LauncherSocket::fromEnvironment(), nullptr);
    EXPECT_EQ(getenv("TIMORA_LAUNCHER_FD"), nullptr);
    for (const char *bad : {"1", "x", "99999"}) {
        setenv("TIMORA_LAUNCHER_FD", bad, 1);
        EXPECT_EQ(LauncherSocket::fromEnvironment(), nullptr) << bad;
    }
    close(pipeEnds[0]);
    close(pipeEnds[1]);

    int ends[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, ends), 0);
    setenv("TIMORA_LAUNCHER_FD", std::to_string(ends[0]).c_str(), 1);
    const std::unique_ptr<LauncherSocket> launcher = LauncherSocket::fromEnvironment();
    ASSERT_NE(launcher, nullptr);
    EXPECT_EQ(getenv("TIMORA_LAUNCHER_FD"), nullptr);
    // Kept from the programs that the program starts.
    EXPECT_EQ(fcntl(ends[0], F_GETFD) & FD_CLOEXEC, FD_CLOEXEC);
    launcher->sessionStarted(3);
    EXPECT_EQ(readAll(ends[1]), "session 3\n");
    close(ends[1]);
}

} // namespace
