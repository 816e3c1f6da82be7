#include "core/rules/AccountTable.h"
#include "core/rules/AppError.h"
#include "core/rules/FileAccountStore.h"
#include "core/settings/IniSettingsStore.h"
#include "tests/support/AccountsOnFile.h"
#include "tests/support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// An account that is not the tests' own (nobody); the folder and file are handed to it.
constexpr uid_t OtherAccount = 65534;

enum class Fault { FileLink, FolderLink, FileOwner, FolderOwner, FileMode, FolderMode };

struct Untrusted
{
    const char *name;
    Fault fault;
    mode_t mode = 0; // for the mode faults

    // The reason the program gives for the fault.
    std::string reason() const
    {
        switch (fault) {
        case Fault::FileLink:
        case Fault::FolderLink:
            return "is a symbolic link";
        case Fault::FileOwner:
        case Fault::FolderOwner:
            return "belongs to another account (uid " + std::to_string(OtherAccount) + ")";
        case Fault::FileMode:
        case Fault::FolderMode:
            break;
        }
        char octal[8];
        std::snprintf(octal, sizeof octal, "%04o", unsigned(mode));
        return std::string("can be written by its group or by others (mode ") + octal + ")";
    }
};

void PrintTo(const Untrusted &c, std::ostream *os)
{
    *os << c.name;
}

// A settings file that someone else could have written (or that leads somewhere else) is
// neither read nor written: no account of it is used, the first-run administrator does not
// appear either, a save is refused and leaves every file as it was, and the reason is written
// once on standard error.
class UntrustedSettings : public ::testing::TestWithParam<Untrusted>
{
protected:
    // Saves the table with one account KID into the file at `file`, in a private folder.
    static void saveKid(const QString &file)
    {
        IniSettingsStore kidStore(file);
        AccountTable t;
        FileAccountStore kidAccounts(kidStore);
        t.setStore(&kidAccounts);
        t.setAccounts({{QStringLiteral("KID"), QStringLiteral("PW"), 30, QString(), 0}});
        t.SaveAccounts();
    }

    static QByteArray name(const QString &p) { return QFile::encodeName(p); }

    AccountsOnFile accounts;
    const QString folder = accounts.folder();
    const QString path = accounts.path();
    AccountTable &table = accounts.table;
};

TEST_P(UntrustedSettings, IsNeitherReadNorWrittenAndSaysWhyOnce)
{
    const Untrusted c = GetParam();
    if ((c.fault == Fault::FileOwner || c.fault == Fault::FolderOwner) && ::geteuid() != 0)
        GTEST_SKIP() << "handing a file to another account needs root";
    // The file as it should be, or, for a link, a file elsewhere that the link leads to.
    QString target;
    QString pieceWithFault = path;
    switch (c.fault) {
    case Fault::FileLink:
        target = accounts.root() + QStringLiteral("/elsewhere/TimoraV2.ini");
        saveKid(target);
        QDir().mkpath(folder);
        ::chmod(name(folder).constData(), 0700);
        ASSERT_EQ(::symlink(name(target).constData(), name(path).constData()), 0);
        break;
    case Fault::FolderLink:
        target = accounts.root() + QStringLiteral("/elsewhere/TimoraV2.ini");
        saveKid(target);
        ASSERT_EQ(::symlink(name(accounts.root() + QStringLiteral("/elsewhere")).constData(),
                            name(folder).constData()),
                  0);
        pieceWithFault = folder;
        target = path;
        break;
    case Fault::FileOwner:
        saveKid(path);
        ASSERT_EQ(::chown(name(path).constData(), OtherAccount, OtherAccount), 0);
        target = path;
        break;
    case Fault::FolderOwner:
        saveKid(path);
        ASSERT_EQ(::chown(name(folder).constData(), OtherAccount, OtherAccount), 0);
        pieceWithFault = folder;
        target = path;
        break;
    case Fault::FileMode:
        saveKid(path);
        ASSERT_EQ(::chmod(name(path).constData(), c.mode), 0);
        target = path;
        break;
    case Fault::FolderMode:
        saveKid(path);
        ASSERT_EQ(::chmod(name(folder).constData(), c.mode), 0);
        pieceWithFault = folder;
        target = path;
        break;
    }
    const QByteArray before = TestFiles::read(target);
    ASSERT_TRUE(before.contains("user1=KID"));

    testing::internal::CaptureStderr();
    table.LoadAccounts();
    table.LoadAccounts();
    bool saveRefused = false;
    table.setAccounts({{QStringLiteral("MALLORY"), QStringLiteral("X"), -1, QString(), -1}});
    try {
        table.SaveAccounts();
    } catch (const AppError &error) {
        saveRefused = error.number() == 75 && error.description().contains(pieceWithFault) &&
                      error.description().contains(QString::fromStdString(c.reason()));
    }
    const std::string said = testing::internal::GetCapturedStderr();

    table.reset();
    table.LoadAccounts();
    EXPECT_EQ(table.count(), 0);
    EXPECT_TRUE(table.account(1).userId.isEmpty()) << "no account, not even the first-run one";
    EXPECT_TRUE(saveRefused);
    EXPECT_EQ(TestFiles::read(target), before);

    const std::string line = "TimoraDesk: the settings " +
                             std::string(pieceWithFault == folder ? "folder " : "file ") +
                             pieceWithFault.toStdString();
    EXPECT_EQ(said.find(line), 0u) << said;
    EXPECT_NE(said.find(c.reason()), std::string::npos) << said;
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;

    // Mended, the file is used again.
    if (c.fault == Fault::FileLink || c.fault == Fault::FolderLink) {
        ASSERT_EQ(::unlink(name(pieceWithFault).constData()), 0);
        saveKid(path);
    } else {
        ASSERT_EQ(::chown(name(folder).constData(), ::geteuid(), ::getegid()), 0);
        ASSERT_EQ(::chown(name(path).constData(), ::geteuid(), ::getegid()), 0);
        ASSERT_EQ(::chmod(name(folder).constData(), 0700), 0);
        ASSERT_EQ(::chmod(name(path).constData(), 0600), 0);
    }
    table.reset();
    table.LoadAccounts();
    EXPECT_EQ(table.count(), 1);
    EXPECT_EQ(table.account(1).userId, QStringLiteral("KID"));
}

INSTANTIATE_TEST_SUITE_P(
    OwnerModeAndLinks, UntrustedSettings,
    ::testing::Values(Untrusted{"FileIsASymbolicLink", Fault::FileLink},
                      Untrusted{"FolderIsASymbolicLink", Fault::FolderLink},
                      Untrusted{"FileOfAnotherAccount", Fault::FileOwner},
                      Untrusted{"FolderOfAnotherAccount", Fault::FolderOwner},
                      Untrusted{"FileWritableByAll", Fault::FileMode, 0666},
                      Untrusted{"FileWritableByItsGroup", Fault::FileMode, 0620},
                      Untrusted{"FileWritableByOthers", Fault::FileMode, 0602},
                      Untrusted{"FolderWritableByAll", Fault::FolderMode, 0777},
                      Untrusted{"FolderWritableByItsGroup", Fault::FolderMode, 0770}),
    [](const auto &info) { return std::string(info.param.name); });

// What others may only read is used as before.
TEST(TrustedSettings, AFileOthersMayOnlyReadIsUsed)
{
    AccountsOnFile accounts;
    AccountTable &table = accounts.table;
    table.setAccounts({{QStringLiteral("KID"), QStringLiteral("PW"), 30, QString(), 0}});
    table.SaveAccounts();
    ASSERT_TRUE(TestFiles::setMode(accounts.path(), 0644));
    ASSERT_TRUE(TestFiles::setMode(accounts.folder(), 0755));
    table.reset();
    table.LoadAccounts();
    EXPECT_EQ(table.account(1).userId, QStringLiteral("KID"));
    EXPECT_NO_THROW(table.SaveAccounts());
}

} // namespace
