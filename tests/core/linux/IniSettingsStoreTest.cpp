#include "core/linux/IniSettingsStore.h"
#include "core/AccountTable.h"
#include "core/AppError.h"

#include "tests/support/KilledSaver.h"
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>

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
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        path = dir.path() + QStringLiteral("/TimoraV2/TimoraV2.ini");
        table.reset();
        table.setStore(&store);
    }
    void TearDown() override
    {
        table.reset();
        table.setStore(nullptr);
    }

    static mode_t modeOf(const QString &p)
    {
        struct stat st
        {};
        ::stat(QFile::encodeName(p).constData(), &st);
        return st.st_mode & 07777;
    }

    QTemporaryDir dir;
    QString path;
    IniSettingsStore store{QString()};
    AccountTable &table = module1();
};

TEST_F(SettingsFile, DefaultPathFollowsXdgConfigHome)
{
    EXPECT_EQ(IniSettingsStore::defaultPath(),
              qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/TimoraV2/TimoraV2.ini"));
}

TEST_F(SettingsFile, FirstSaveCreatesAPrivateFileInAPrivateFolderWithSlotOne)
{
    store = IniSettingsStore(path);
    const mode_t old = ::umask(022);
    table.LoadAccounts();
    table.SaveAccounts();
    ::umask(old);
    EXPECT_EQ(modeOf(path), 0600u);
    EXPECT_EQ(modeOf(QFileInfo(path).absolutePath()), 0700u);

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    EXPECT_TRUE(text.startsWith(QStringLiteral("[SecData]"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("mins1=-1")));
    EXPECT_TRUE(text.contains(QStringLiteral("left1=-1")));
    EXPECT_TRUE(text.contains(QStringLiteral("user1=ADMINISTRATOR")));
    EXPECT_EQ(text.count(QLatin1Char('=')), 5);
}

TEST_F(SettingsFile, AccountsRoundTripThroughTheFileWithAwkwardTexts)
{
    store = IniSettingsStore(path);
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
    store = IniSettingsStore(path);
    table.LoadAccounts();
    table.SaveAccounts();
    QFile before(path);
    ASSERT_TRUE(before.open(QIODevice::ReadOnly));
    const QByteArray old = before.readAll();

    // A file in the way of the folder makes every write impossible, even for root.
    const QString blocked = dir.path() + QStringLiteral("/blocked");
    QFile blocker(blocked);
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    IniSettingsStore impossible(blocked + QStringLiteral("/TimoraV2.ini"));
    table.setStore(&impossible);
    EXPECT_THROW(table.SaveAccounts(), AppError);

    table.setStore(&store);
    QFile after(path);
    ASSERT_TRUE(after.open(QIODevice::ReadOnly));
    EXPECT_EQ(after.readAll(), old);
}

TEST_F(SettingsFile, AMissingFileIsAFirstRunAndNotAnError)
{
    store = IniSettingsStore(path);
    table.LoadAccounts();
    EXPECT_EQ(table.account(1).userId, QStringLiteral("ADMINISTRATOR"));
    EXPECT_FALSE(QFileInfo::exists(path));
}

// A save killed at any instant leaves one whole version of the accounts, never a mix and
// never an empty store (which would bring back the published first-run password).
TEST_F(SettingsFile, ASaveKilledAtAnyInstantLeavesOneWholeVersion)
{
    store = IniSettingsStore(path);
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
