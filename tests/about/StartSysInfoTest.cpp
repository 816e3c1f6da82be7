#include "about/frmAbout.h"
#include "core/services/QtProgramStarter.h"
#include "core/services/Services.h"
#include "tests/support/RegistryFile.h"

#include <QPushButton>
#include <gtest/gtest.h>

namespace {

const QString ProgramKey = QStringLiteral("[SOFTWARE\\Microsoft\\Shared Tools\\MSINFO]");
const QString FolderKey = QStringLiteral("[SOFTWARE\\Microsoft\\Shared Tools Location]");
const QStringList Unavailable{QStringLiteral("System Information Is Unavailable At This Time")};

class SystemInfoButton : public RegistryTest
{
protected:
    void press()
    {
        frmAbout &about = flow().about();
        about.Show();
        about.cmdSysInfo->click();
        // Whatever happened, the About window stays open.
        EXPECT_TRUE(flow().hasAbout());
        EXPECT_TRUE(about.isVisible());
    }
};

TEST_F(SystemInfoButton, StartsTheProgramTheFirstKeyNamesWithoutTestingThatItExists)
{
    const QString missing = file.folder() + QStringLiteral("/no-such-program");
    file.write({ProgramKey, QStringLiteral("PATH=sz:") + missing});
    press();
    EXPECT_EQ(starter.started, QStringList{missing});
    EXPECT_TRUE(messages.shown.isEmpty());
}

TEST_F(SystemInfoButton, AProgramThatDoesNotStartIsReportedAndTheFolderKeyIsNotConsulted)
{
    const QString missing = file.folder() + QStringLiteral("/no-such-program");
    const QString folder = file.createFolder(QStringLiteral("tools"));
    file.createFile(QStringLiteral("tools/hardinfo"));
    file.write({ProgramKey, QStringLiteral("PATH=sz:") + missing, FolderKey,
                QStringLiteral("MSINFO=sz:") + folder});
    starter.result = false;
    press();
    EXPECT_EQ(starter.started, QStringList{missing});
    EXPECT_EQ(messages.texts(), Unavailable);
}

TEST_F(SystemInfoButton, WithoutTheFirstKeyStartsTheProgramInTheFolderTheSecondKeyNames)
{
    const QString folder = file.createFolder(QStringLiteral("tools"));
    const QString program = file.createFile(QStringLiteral("tools/hardinfo"));
    file.write({FolderKey, QStringLiteral("MSINFO=sz:") + folder});
    press();
    EXPECT_EQ(starter.started, QStringList{program});
    EXPECT_TRUE(messages.shown.isEmpty());
}

TEST_F(SystemInfoButton, AFolderWithoutTheProgramIsReported)
{
    const QString folder = file.createFolder(QStringLiteral("tools"));
    file.createFile(QStringLiteral("tools/msinfo32.exe"));
    file.write({FolderKey, QStringLiteral("MSINFO=sz:") + folder});
    press();
    EXPECT_TRUE(starter.started.isEmpty());
    EXPECT_EQ(messages.texts(), Unavailable);
}

TEST_F(SystemInfoButton, AFolderNamedLikeTheProgramIsNotStarted)
{
    const QString folder = file.createFolder(QStringLiteral("tools"));
    file.createFolder(QStringLiteral("tools/hardinfo"));
    file.write({FolderKey, QStringLiteral("MSINFO=sz:") + folder});
    press();
    EXPECT_TRUE(starter.started.isEmpty());
    EXPECT_EQ(messages.texts(), Unavailable);
}

TEST_F(SystemInfoButton, NothingInTheRegistryIsReported)
{
    press();
    EXPECT_TRUE(starter.started.isEmpty());
    EXPECT_EQ(messages.texts(), Unavailable);
}

TEST_F(SystemInfoButton, AnEmptyFirstValueStopsAtOnceWithoutTryingTheFolderKey)
{
    const QString folder = file.createFolder(QStringLiteral("tools"));
    file.createFile(QStringLiteral("tools/hardinfo"));
    file.write({ProgramKey, QStringLiteral("PATH=hex(1):"), FolderKey,
                QStringLiteral("MSINFO=sz:") + folder});
    press();
    EXPECT_TRUE(starter.started.isEmpty());
    EXPECT_EQ(messages.texts(), Unavailable);
}

TEST_F(SystemInfoButton, AFirstValueOfAnotherTypeLeavesNothingToStart)
{
    // The real starter: an empty path starts nothing.
    QtProgramStarter realStarter;
    services.starter = &realStarter;
    file.write({ProgramKey, QStringLiteral("PATH=hex:2f,75,73,72")});
    press();
    EXPECT_EQ(messages.texts(), Unavailable);
}

TEST_F(SystemInfoButton, EveryPressTriesAgain)
{
    press();
    const QString folder = file.createFolder(QStringLiteral("tools"));
    const QString program = file.createFile(QStringLiteral("tools/hardinfo"));
    file.write({FolderKey, QStringLiteral("MSINFO=sz:") + folder});
    press();
    EXPECT_EQ(messages.texts(), Unavailable);
    EXPECT_EQ(starter.started, QStringList{program});
}

} // namespace
