#include "core/settings/IniSettingsStore.h"
#include "core/rules/AccountTable.h"
#include "core/rules/AppError.h"
#include "core/rules/FileAccountStore.h"

#include "tests/support/AccountsOnFile.h"
#include "tests/support/KilledSaver.h"
#include "tests/support/TestFiles.h"
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

class SettingsFile : public ::testing::Test
{
protected:
    AccountsOnFile accounts;
    const QString path = accounts.path();
    AccountTable &table = accounts.table;
};

TEST_F(SettingsFile, DefaultPathFollowsXdgConfigHome)
{
    EXPECT_EQ(IniSettingsStore::defaultPath(),
              qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/TimoraV2/TimoraV2.ini"));
}

TEST_F(SettingsFile, FirstSaveCreatesAPrivateFileInAPrivateFolderWithSlotOne)
{
    const mode_t old = ::umask(022);
    table.LoadAccounts();
    table.SaveAccounts();
    ::umask(old);
    EXPECT_EQ(TestFiles::mode(path), 0600u);
    EXPECT_EQ(TestFiles::mode(accounts.folder()), 0700u);

    const QString text = QString::fromUtf8(TestFiles::read(path));
    EXPECT_TRUE(text.startsWith(QStringLiteral("[SecData]"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("mins1=-1")));
    EXPECT_TRUE(text.contains(QStringLiteral("left1=-1")));
    EXPECT_TRUE(text.contains(QStringLiteral("user1=ADMINISTRATOR")));
    EXPECT_EQ(text.count(QLatin1Char('=')), 5);
}

TEST_F(SettingsFile, AccountsRoundTripThroughTheFileWithAwkwardTexts)
{
    table.setAccounts({{QStringLiteral("ADMINISTRATOR"), QStringLiteral("A,B;C=D"), -1,
                        QStringLiteral("8 Dec 2026"), -1},
                       {QStringLiteral("JÖRG"), QStringLiteral("\"QUOTED\" #1"), 90,
                        QStringLiteral("12/8/2026"), 0},
                       {QStringLiteral("KID"), QStringLiteral(" "), 5, QString(), 5}});
    const auto saved = table.accounts();
    table.SaveAccounts();
    table.reset();
    table.LoadAccounts();
    EXPECT_EQ(table.count(), 3);
    EXPECT_EQ(table.accounts(), saved);
}

TEST_F(SettingsFile, AFailedSaveRaisesAnErrorAndKeepsTheOldFile)
{
    table.LoadAccounts();
    table.SaveAccounts();
    const QByteArray old = TestFiles::read(path);

    // A file in the way of the folder makes every write impossible, even for root.
    const QString blocked = accounts.root() + QStringLiteral("/blocked");
    ASSERT_TRUE(TestFiles::write(blocked, {}));
    IniSettingsStore impossible(blocked + QStringLiteral("/TimoraV2.ini"));
    FileAccountStore impossibleAccounts(impossible);
    table.setStore(&impossibleAccounts);
    EXPECT_THROW(table.SaveAccounts(), AppError);

    table.setStore(&accounts.fileStore);
    EXPECT_EQ(TestFiles::read(path), old);
}

TEST_F(SettingsFile, AMissingFileIsAFirstRunAndNotAnError)
{
    table.LoadAccounts();
    EXPECT_EQ(table.account(1).userId, QStringLiteral("ADMINISTRATOR"));
    EXPECT_FALSE(QFileInfo::exists(path));
}

// A file and folder that others may read (copied by hand, or left so by an older version) are
// still used, and the next save makes both private again.
struct LooserModes
{
    mode_t file;
    mode_t folder;
};

void PrintTo(const LooserModes &modes, std::ostream *os)
{
    *os << std::oct << "file 0" << modes.file << ", folder 0" << modes.folder;
}

class ALooserSettingsFile : public SettingsFile, public ::testing::WithParamInterface<LooserModes>
{};

TEST_P(ALooserSettingsFile, IsMadePrivateAgainByTheNextSave)
{
    table.setAccounts({{QStringLiteral("KID"), QStringLiteral("PW"), 30, QString(), 0}});
    table.SaveAccounts();
    ASSERT_TRUE(TestFiles::setMode(path, GetParam().file));
    ASSERT_TRUE(TestFiles::setMode(accounts.folder(), GetParam().folder));

    table.reset();
    table.LoadAccounts();
    ASSERT_EQ(table.account(1).userId, QStringLiteral("KID"));
    table.setAccounts({{QStringLiteral("KID"), QStringLiteral("NEW"), 30, QString(), 0}});
    table.SaveAccounts();

    EXPECT_EQ(TestFiles::mode(path), 0600u);
    EXPECT_EQ(TestFiles::mode(accounts.folder()), 0700u);
    table.reset();
    table.LoadAccounts();
    EXPECT_EQ(table.account(1).password, QStringLiteral("NEW"));
}

INSTANTIATE_TEST_SUITE_P(ReadableByOthers, ALooserSettingsFile,
                         ::testing::Values(LooserModes{0644, 0755}, LooserModes{0640, 0750},
                                           LooserModes{0604, 0705}),
                         [](const auto &info) {
                             return QStringLiteral("File%1Folder%2")
                                 .arg(info.param.file, 4, 8, QLatin1Char('0'))
                                 .arg(info.param.folder, 4, 8, QLatin1Char('0'))
                                 .toStdString();
                         });

// A save killed at any instant leaves one whole version of the accounts, never a mix and
// never an empty store (which would bring back the published first-run password).
TEST_F(SettingsFile, ASaveKilledAtAnyInstantLeavesOneWholeVersion)
{
    table.setAccounts(
        {{QStringLiteral("V0USER1"), QStringLiteral("PW1"), 60, QStringLiteral("8 Dec 2026"), 1}});
    table.SaveAccounts();

    const QByteArray file = QFile::encodeName(path);
    const int rounds = 60;
    int killedWhileSaving = 0;
    for (int round = 0; round < rounds; ++round) {
        ASSERT_TRUE(runAndKillAtRandom(STORE_SAVER_PATH, {file}))
            << "saver did not start or ended on its own in round " << round;
        ++killedWhileSaving;

        table.reset();
        table.LoadAccounts();
        const int count = table.count();
        ASSERT_TRUE(count == 1 || count == 3 || count == 7) << "round " << round;
        ASSERT_NE(table.account(1).userId, QStringLiteral("ADMINISTRATOR")) << "round " << round;
        const QString version = table.account(1).userId.left(2);
        for (int n = 1; n <= count; ++n) {
            ASSERT_EQ(table.account(n).userId, version + QStringLiteral("USER%1").arg(n));
            ASSERT_EQ(table.account(n).password, QStringLiteral("PW%1").arg(n));
        }
    }
    EXPECT_EQ(killedWhileSaving, rounds);
}

} // namespace
