// A logon on a settings file whose disk is full: the logon window over the real settings file on
// a small file system of the test's own, filled up before the logon.
#include "ScratchDisk.h"
#include "admin/frmAdmin.h"
#include "core/rules/AccountTable.h"
#include "core/settings/IniSettingsStore.h"
#include "logon/frmLogon.h"
#include "session/frmActive.h"
#include "tests/support/FakeServices.h"

#include <QLineEdit>
#include <QSettings>
#include <QTest>

namespace {

class LogonOnAFullDisk : public TimoraTest
{
protected:
    void SetUp() override
    {
        TimoraTest::SetUp();
        disk = std::make_unique<ScratchDisk>(256 * 1024);
        if (!disk->available())
            GTEST_SKIP() << disk->whyNot().toStdString();
        path = disk->path() + QStringLiteral("/TimoraV2/TimoraV2.ini");
        file = std::make_unique<IniSettingsStore>(path);
        accounts = std::make_unique<FileAccountStore>(*file);
        AccountTable &table = accountTable;
        table.setStore(accounts.get());
        table.setAccounts({{AccountTable::AdminId, QStringLiteral("BOSS"), -1, todayText(), -1},
                           {QStringLiteral("KID"), QStringLiteral("PW"), 60, todayText(), 20}});
        table.SaveAccounts();
        table.reset();
    }
    void TearDown() override
    {
        TimoraTest::TearDown();
        accounts.reset();
        file.reset();
        disk.reset();
    }

    // What the settings file on disk holds for a key of [SecData].
    QString onDisk(const char *prefix, int slot) const
    {
        QSettings ini(path, QSettings::IniFormat);
        return ini.value(QStringLiteral("SecData/") + AccountTable::key(prefix, slot)).toString();
    }

    bool sessionShown() { return flow().hasSession() && flow().session().isVisible(); }
    bool adminShown() { return flow().hasAdmin() && flow().admin().isVisible(); }

    std::unique_ptr<ScratchDisk> disk;
    std::unique_ptr<IniSettingsStore> file;
    std::unique_ptr<FileAccountStore> accounts;
    QString path;
};

TEST_F(LogonOnAFullDisk, GivesNoSessionTheAdministratorHisWindowAndLaterTheStoredMinutes)
{
    ASSERT_EQ(onDisk("left", 2), QStringLiteral("20"));
    ASSERT_GT(disk->fill(), 0);

    logOnAs(QStringLiteral("kid"), QStringLiteral("pw"));
    EXPECT_EQ(
        messages.texts(),
        QStringList{QStringLiteral("Sorry, the accounts cannot be saved. See your administrator")});
    EXPECT_FALSE(sessionShown());
    EXPECT_TRUE(flow().logon().isVisible());
    EXPECT_EQ(onDisk("left", 2), QStringLiteral("20"));

    // The administrator still gets his window, told that the accounts could not be saved, and
    // his Save says so too.
    messages.shown.clear();
    logOnAs(QStringLiteral("administrator"), QStringLiteral("boss"));
    ASSERT_TRUE(adminShown());
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_TRUE(
        messages.shown[0].text.startsWith(QStringLiteral("Error 75 Path/File access error")))
        << messages.shown[0].text.toStdString();
    messages.shown.clear();
    flow().admin().cmdSave_Click();
    ASSERT_FALSE(messages.shown.isEmpty());
    EXPECT_TRUE(messages.shown.last().text.startsWith(QStringLiteral("Error 75 ")))
        << messages.shown.last().text.toStdString();
    flow().admin().cmdLogoff_Click();
    ASSERT_TRUE(flow().logon().isVisible());

    // With room on the disk again, the same account logs on once, with the minutes stored before,
    // and the file holds 0 for today while the session runs.
    disk->freeUp();
    messages.shown.clear();
    logOnAs(QStringLiteral("kid"), QStringLiteral("pw"));
    EXPECT_TRUE(messages.shown.isEmpty()) << messages.texts().join(QLatin1Char('|')).toStdString();
    ASSERT_TRUE(sessionShown());
    EXPECT_EQ(flow().session().txtTime->text(), QStringLiteral("20"));
    EXPECT_EQ(onDisk("left", 2), QStringLiteral("0"));
    EXPECT_EQ(onDisk("date", 2), todayText());
}

TEST_F(LogonOnAFullDisk, ASessionEndThatCannotBeStoredLeavesNoTimeForTheRestOfTheDay)
{
    logOnAs(QStringLiteral("kid"), QStringLiteral("pw"));
    ASSERT_TRUE(sessionShown());
    ASSERT_EQ(onDisk("left", 2), QStringLiteral("0"));
    ASSERT_GT(disk->fill(), 0);

    flow().session().cmdLogoff_Click();
    EXPECT_EQ(onDisk("left", 2), QStringLiteral("0"));
    const QStringList texts = messages.texts();
    EXPECT_TRUE(!texts.isEmpty() && texts.last().endsWith(QStringLiteral("forfeited")))
        << texts.join(QLatin1Char('|')).toStdString();

    // The program starts again on a disk with room: the rest of today is gone.
    disk->freeUp();
    restartProgram();
    accountTable.setStore(accounts.get());
    messages.shown.clear();
    logOnAs(QStringLiteral("kid"), QStringLiteral("pw"));
    EXPECT_EQ(messages.texts(), QStringList{QStringLiteral("Sorry, no time left today")});
    EXPECT_FALSE(sessionShown());
}

} // namespace
