#include "core/rules/AccountTable.h"
#include "core/rules/DateText.h"
#include "core/settings/IniSettingsStore.h"
#include "tests/support/AccountsOnFile.h"
#include "tests/support/TestFiles.h"

#include <QFile>
#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// A real session (a child process) after a password change, ended by a signal: killed outright,
// the account keeps 0 minutes left; told to end, the session stores its remainder and asks for
// no restart or shut-down.
class SessionToldToEnd : public ::testing::TestWithParam<int>
{
protected:
    void SetUp() override
    {
        accounts.table.setAccounts(
            {{AccountTable::AdminId, QStringLiteral("BOSS"), -1, QString(), -1},
             {QStringLiteral("KID"), QStringLiteral("PW"), 30, QString(), 0}});
        accounts.table.SaveAccounts();
    }

    // Starts the session and waits until it says it is ready; false if it never does.
    bool startSession()
    {
        int ready[2];
        if (::pipe(ready) != 0)
            return false;
        const QByteArray file = QFile::encodeName(path);
        const QByteArray errors = QFile::encodeName(errorsPath);
        child = ::fork();
        if (child < 0)
            return false;
        if (child == 0) {
            ::dup2(ready[1], STDOUT_FILENO);
            const int fd = ::open(errors.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            ::dup2(fd, STDERR_FILENO);
            ::execl(SESSION_CHILD_PATH, SESSION_CHILD_PATH, file.constData(), nullptr);
            ::_exit(127);
        }
        ::close(ready[1]);
        pollfd wait{ready[0], POLLIN, 0};
        char buffer[8] = {};
        const bool started = ::poll(&wait, 1, 30000) == 1 &&
                             ::read(ready[0], buffer, sizeof buffer) > 0 &&
                             std::strncmp(buffer, "ready", 5) == 0;
        ::close(ready[0]);
        return started;
    }

    // Sends the signal and returns the signal the child ended by (0 when it exited).
    int endBy(int signal)
    {
        ::kill(child, signal);
        int status = 0;
        ::waitpid(child, &status, 0);
        child = -1;
        return WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    }

    AccountSlot storedKid()
    {
        AccountTable &table = accounts.table;
        table.reset();
        table.LoadAccounts();
        return table.account(2);
    }

    QByteArray errors() const { return TestFiles::read(errorsPath); }

    AccountsOnFile accounts;
    const QString path = accounts.path();
    const QString errorsPath = accounts.root() + QStringLiteral("/errors");
    pid_t child = -1;
};

TEST_P(SessionToldToEnd, KeepsTheMinutesAtZeroUntilTheSessionEndStoresThem)
{
    const int signal = GetParam();
    ASSERT_TRUE(startSession()) << errors().constData();

    // After the password change the store holds the new password and still 0 minutes.
    AccountSlot kid = storedKid();
    EXPECT_EQ(kid.password, QStringLiteral("NEW"));
    EXPECT_EQ(kid.minsLeft, 0);

    EXPECT_EQ(endBy(signal), signal);
    kid = storedKid();
    EXPECT_EQ(kid.password, QStringLiteral("NEW"));
    // 30 minutes, three counted: killed outright nothing comes back, told to end the rest is kept.
    EXPECT_EQ(kid.minsLeft, signal == SIGKILL ? 0 : 27);
    EXPECT_EQ(kid.lastDate, DateText::fromDate(QDate(2026, 12, 8)));
    EXPECT_FALSE(errors().contains("restart requested")) << errors().constData();
    EXPECT_FALSE(errors().contains("shut-down requested")) << errors().constData();
}

INSTANTIATE_TEST_SUITE_P(Signals, SessionToldToEnd,
                         ::testing::Values(SIGTERM, SIGINT, SIGHUP, SIGKILL), [](const auto &info) {
                             switch (info.param) {
                             case SIGTERM:
                                 return std::string("Sigterm");
                             case SIGINT:
                                 return std::string("Sigint");
                             case SIGHUP:
                                 return std::string("Sighup");
                             default:
                                 return std::string("Sigkill");
                             }
                         });

} // namespace
