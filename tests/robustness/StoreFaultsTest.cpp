#include "ScratchDisk.h"
#include "core/rules/AccountTable.h"
#include "core/rules/AppError.h"
#include "core/settings/IniSettingsStore.h"
#include "tests/support/AccountsOnFile.h"
#include "tests/support/TestFiles.h"

#include <QDir>
#include <QFileInfo>
#include <gtest/gtest.h>

// Accounts print as their texts when a comparison fails.
static void PrintTo(const AccountSlot &slot, std::ostream *os)
{
    *os << '{' << slot.userId.toStdString() << ", " << slot.password.toStdString() << ", "
        << slot.minsPerDay << ", " << slot.lastDate.toStdString() << ", " << slot.minsLeft << '}';
}

namespace {

// Ten accounts; `version` makes every text of one table differ from the other's.
void fillTable(AccountTable &table, int version)
{
    table.reset();
    QList<AccountSlot> accounts{{AccountTable::AdminId, QStringLiteral("SECRET%1").arg(version), -1,
                                 QStringLiteral("12/8/2026"), -1}};
    for (int n = 2; n <= AccountTable::MaxAccounts; ++n)
        accounts.append({QStringLiteral("V%1CHILD%2").arg(version).arg(n),
                         QStringLiteral("PASSWORD%1").arg(n), 60 + version,
                         QStringLiteral("12/8/2026"), n});
    table.setAccounts(accounts);
}

class StoreOnAFaultyDisk : public ::testing::Test
{
protected:
    // The table over a settings file below `folder`.
    void useFolder(const QString &folder)
    {
        accounts = std::make_unique<AccountsOnFile>(folder);
        path = accounts->path();
    }

    // Saves version 1 of the accounts into `folder` and returns the file's bytes.
    QByteArray saveFirstVersion(const QString &folder)
    {
        useFolder(folder);
        fillTable(accounts->table, 1);
        accounts->table.SaveAccounts();
        saved = accounts->table.accounts();
        return TestFiles::read(path);
    }

    // The next save must fail with the clear error and leave version 1 loadable as it was.
    void expectRefusedAndNothingLost(const QByteArray &before)
    {
        fillTable(accounts->table, 2);
        try {
            accounts->table.SaveAccounts();
            ADD_FAILURE() << "the save reported success";
        } catch (const AppError &error) {
            EXPECT_EQ(error.number(), 75);
            EXPECT_TRUE(error.description().startsWith(QStringLiteral("Path/File access error")))
                << error.description().toStdString();
            EXPECT_TRUE(error.description().contains(path)) << error.description().toStdString();
        }
        EXPECT_EQ(TestFiles::read(path), before);
        accounts->table.reset();
        accounts->table.LoadAccounts();
        EXPECT_EQ(accounts->table.count(), AccountTable::MaxAccounts);
        EXPECT_EQ(accounts->table.accounts(), saved);
    }

    std::unique_ptr<AccountsOnFile> accounts;
    QString path;
    QList<AccountSlot> saved;
};

TEST_F(StoreOnAFaultyDisk, AFullDiskRefusesTheSaveAndTheAccountsOnItStayWhole)
{
    ScratchDisk disk(64 * 1024);
    if (!disk.available())
        GTEST_SKIP() << disk.whyNot().toStdString();
    const QByteArray before = saveFirstVersion(disk.path());
    ASSERT_FALSE(before.isEmpty());
    ASSERT_GT(disk.fill(), 0);

    expectRefusedAndNothingLost(before);
    // No half-written temporary file or stale lock is left in the settings folder.
    EXPECT_EQ(QDir(QFileInfo(path).absolutePath()).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("TimoraV2.ini")});

    // Once there is room again, the next save goes through.
    disk.freeUp();
    fillTable(accounts->table, 2);
    const auto second = accounts->table.accounts();
    accounts->table.SaveAccounts();
    accounts->table.reset();
    accounts->table.LoadAccounts();
    EXPECT_EQ(accounts->table.accounts(), second);
}

TEST_F(StoreOnAFaultyDisk, TheVeryFirstSaveOnAFullDiskFailsAndTheNextStartIsStillAFirstRun)
{
    ScratchDisk disk(64 * 1024);
    if (!disk.available())
        GTEST_SKIP() << disk.whyNot().toStdString();
    ASSERT_TRUE(QDir().mkpath(disk.path() + QStringLiteral("/TimoraV2")));
    ASSERT_GT(disk.fill(), 0);
    useFolder(disk.path());
    accounts->table.LoadAccounts();
    EXPECT_THROW(accounts->table.SaveAccounts(), AppError);

    accounts->table.reset();
    accounts->table.LoadAccounts();
    EXPECT_EQ(accounts->table.count(), 1);
    EXPECT_EQ(accounts->table.account(1).userId, AccountTable::AdminId);
    EXPECT_EQ(accounts->table.account(1).password, AccountTable::FirstRunPassword);
}

// What is made read-only: the settings file itself, or the folder that holds it.
enum class ReadOnly { File, Folder };

class StoreOnReadOnlyStorage : public StoreOnAFaultyDisk,
                               public ::testing::WithParamInterface<ReadOnly>
{};

// Root ignores permission bits, so the file or the folder is bind-mounted read-only, which binds
// root as well.
TEST_P(StoreOnReadOnlyStorage, ASaveIsRefusedClearlyAndTheFileStaysAsItWas)
{
    ScratchDisk disk(1024 * 1024);
    if (!disk.available())
        GTEST_SKIP() << disk.whyNot().toStdString();
    const QByteArray before = saveFirstVersion(disk.path());
    const QString target = GetParam() == ReadOnly::File ? path : QFileInfo(path).absolutePath();
    if (!disk.makeReadOnly(target))
        GTEST_SKIP() << disk.whyNot().toStdString();

    expectRefusedAndNothingLost(before);
}

INSTANTIATE_TEST_SUITE_P(FileAndFolder, StoreOnReadOnlyStorage,
                         ::testing::Values(ReadOnly::File, ReadOnly::Folder), [](const auto &info) {
                             return info.param == ReadOnly::File ? "ReadOnlyFile"
                                                                 : "ReadOnlyFolder";
                         });

} // namespace
