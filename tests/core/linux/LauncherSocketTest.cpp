// What the program tells the kiosk launcher, on a socket pair standing in for the launcher's, and
// the lines of the protocol both sides share.
#include "core/linux/LauncherSocket.h"
#include "core/linux/LauncherProtocol.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

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
        LauncherSocket launcher(ends[0], 1);
        launcher.sessionStarted(45);
        launcher.sessionEnded();
        launcher.powerActionFailed();
        launcher.sessionStarted(-1);
        EXPECT_EQ(readAll(ends[1]), "session 45\nend\nagain\nsession -1\n");
    }
    // The socket went with it: the launcher sees its end.
    char byte;
    EXPECT_EQ(read(ends[1], &byte, 1), 0);
    close(ends[1]);
}

// The power action may only go once the launcher says the kiosk account runs nothing more: the
// end returns with the answer, not before it, and not much later; what follows the answer stays.
TEST(LauncherSocket, TheEndWaitsForTheLaunchersAnswerAndNoLonger)
{
    using Clock = std::chrono::steady_clock;
    struct Case
    {
        const char *answer; // null: none comes
        int delayMs;
        int atLeastMs, atMostMs;
    };
    const Case cases[] = {
        {"ended\nsession 5\n", 300, 300, 900},
        {"unclean\n", 100, 100, 900},
        {nullptr, 0, 1000, 1900},
    };
    for (const Case &c : cases) {
        int ends[2];
        ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, ends), 0);
        LauncherSocket launcher(ends[0], 1);
        std::thread answering([&] {
            char line[16] = {};
            // Answers only once it has read the end.
            ASSERT_EQ(read(ends[1], line, 4), 4);
            EXPECT_STREQ(line, "end\n");
            if (!c.answer)
                return;
            std::this_thread::sleep_for(std::chrono::milliseconds(c.delayMs));
            ASSERT_GT(write(ends[1], c.answer, std::strlen(c.answer)), 0);
        });
        const Clock::time_point start = Clock::now();
        launcher.sessionEnded();
        const auto tookMs =
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
        answering.join();
        EXPECT_GE(tookMs, c.atLeastMs) << (c.answer ? c.answer : "no answer");
        EXPECT_LE(tookMs, c.atMostMs) << (c.answer ? c.answer : "no answer");
        if (c.answer && std::strchr(c.answer, '\n') + 1 != c.answer + std::strlen(c.answer)) {
            char rest[32] = {};
            EXPECT_EQ(recv(ends[0], rest, sizeof rest - 1, MSG_DONTWAIT), 10);
            EXPECT_STREQ(rest, "session 5\n");
        }
        close(ends[1]);
    }
}

TEST(LauncherProtocol, OnlyTheProtocolsOwnLinesAreTaken)
{
    using Kind = LauncherProtocol::Message::Kind;
    struct Case
    {
        const char *line;
        Kind kind;
        long minutes;
    };
    const Case cases[] = {
        {"session 45", Kind::Session, 45}, {"session -1", Kind::Session, -1},
        {"session 0", Kind::Session, 0},   {"end", Kind::End, 0},
        {"again", Kind::Again, 0},         {"session", Kind::Unknown, 0},
        {"session ", Kind::Unknown, 0},    {"session -", Kind::Unknown, 0},
        {"session 5 ", Kind::Unknown, 0},  {"session  5", Kind::Unknown, 0},
        {"session +5", Kind::Unknown, 0},  {"session 5x", Kind::Unknown, 0},
        {"session 1-", Kind::Unknown, 0},  {"session 9999999999", Kind::Unknown, 0},
        {"end ", Kind::Unknown, 0},        {"END", Kind::Unknown, 0},
        {"sessions 5", Kind::Unknown, 0},  {"", Kind::Unknown, 0},
    };
    for (const Case &c : cases) {
        const LauncherProtocol::Message message = LauncherProtocol::parse(c.line);
        EXPECT_EQ(message.kind, c.kind) << '"' << c.line << '"';
        EXPECT_EQ(message.minutes, c.minutes) << '"' << c.line << '"';
    }

    // Lines come in pieces; one that grows past the limit is dropped whole, the next one counts.
    LauncherProtocol::LineReader reader;
    std::vector<std::string> lines;
    const auto keep = [&lines](const std::string &line) {
        lines.push_back(line);
    };
    const std::string overlong(LauncherProtocol::MaxLine + 1, 'x');
    for (const std::string &piece :
         {std::string("sess"), std::string("ion 3\nen"), overlong + "end", std::string("\nend\n")})
        reader.take(piece.data(), piece.size(), keep);
    EXPECT_EQ(lines, (std::vector<std::string>{"session 3", "end"}));
}

TEST(LauncherSocket, AGoneLauncherNeitherBlocksNorKillsTheProgram)
{
    int ends[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, ends), 0);
    close(ends[1]);
    // SIGPIPE would end the test program.
    LauncherSocket launcher(ends[0]);
    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    launcher.sessionStarted(10);
    launcher.sessionEnded();
    launcher.powerActionFailed();
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(1));
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
