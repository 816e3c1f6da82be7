#include "core/rules/AccountTable.h"
#include "core/settings/IniSettingsStore.h"

#include "tests/support/AccountsOnFile.h"
#include "tests/support/KilledSaver.h"
#include <QFile>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

// The program killed outright (SIGKILL) at a random instant while a window saves the accounts,
// again and again: the file always loads as one whole version, never a mix of two, never empty.
class KilledWhileAWindowSaves : public ::testing::TestWithParam<const char *>
{};

TEST_P(KilledWhileAWindowSaves, TheFileAlwaysLoadsAsOneWholeVersion)
{
    const bool sessionEnd = std::string(GetParam()) == "session-end";
    AccountsOnFile accounts;
    const QByteArray file = QFile::encodeName(accounts.path());
    AccountTable &table = accounts.table;

    const int rounds = 30;
    for (int round = 0; round < rounds; ++round) {
        ASSERT_TRUE(runAndKillAtRandom(WINDOW_SAVER_PATH, {QByteArray(GetParam()), file}))
            << "the saver did not start or ended on its own in round " << round;

        table.reset();
        table.LoadAccounts();
        const int count = table.count();
        ASSERT_TRUE(count == 3 || count == 7) << "round " << round << ": " << count;
        const int version = count == 3 ? 0 : 1;
        for (int n = 1; n <= count; ++n) {
            const AccountSlot &slot = table.account(n);
            ASSERT_EQ(slot.userId, QStringLiteral("V%1USER%2").arg(version).arg(n))
                << "round " << round;
            ASSERT_EQ(slot.password, QStringLiteral("PW%1").arg(n)) << "round " << round;
            ASSERT_EQ(slot.minsPerDay, 60 + version) << "round " << round;
            // The session's start stores 0 left in the logged-on slot 1, and its end the
            // session's minutes.
            const int left = n + 100 * version;
            if (sessionEnd && n == 1)
                ASSERT_TRUE(slot.minsLeft == 0 || slot.minsLeft == 40 + version)
                    << "round " << round << ": " << slot.minsLeft;
            else
                ASSERT_EQ(slot.minsLeft, left) << "round " << round << ", slot " << n;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(SessionEndAndAdministratorSave, KilledWhileAWindowSaves,
                         ::testing::Values("session-end", "admin-save"), [](const auto &info) {
                             return std::string(info.param) == "session-end" ? "SessionEnd"
                                                                             : "AdministratorSave";
                         });

} // namespace
