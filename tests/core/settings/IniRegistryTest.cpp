#include "core/settings/IniRegistry.h"
#include "tests/support/RegistryFile.h"
#include "tests/support/TestFiles.h"

#include <QDir>
#include <gtest/gtest.h>

namespace {

constexpr Registry::Root Machine = Registry::HKEY_LOCAL_MACHINE;

// Opens keyPath, reads one value and closes the key; empty bytes and type 0 when anything fails.
struct Read
{
    int result = -1;
    quint32 type = 0;
    QByteArray data;
};

Read readValue(IniRegistry &registry, const QString &keyPath, const QString &name)
{
    Read read;
    Registry::Key key = 0;
    read.result = registry.openKey(Machine, keyPath, &key);
    if (read.result != Registry::Success)
        return read;
    read.result = registry.queryValue(key, name, &read.type, &read.data, 1024);
    EXPECT_EQ(registry.closeKey(key), Registry::Success);
    return read;
}

// What the About window's System Info button looks up under keyPath: the path of hardinfo.
void expectTheSystemInformationProgram(IniRegistry &registry, const QString &keyPath)
{
    const Read read = readValue(registry, keyPath, QStringLiteral("PATH"));
    EXPECT_EQ(read.result, Registry::Success);
    EXPECT_EQ(read.type, Registry::REG_SZ);
    EXPECT_EQ(read.data, QByteArray("/usr/bin/hardinfo\0", 18));
}

TEST(IniRegistry, KeyPathsAndValueNamesMatchWithoutRegardToCase)
{
    RegistryFile file;
    file.write({QStringLiteral("[SOFTWARE\\Microsoft\\Shared Tools\\MSINFO]"),
                QStringLiteral("Path=sz:/usr/bin/hardinfo")});
    IniRegistry registry(file.path());
    expectTheSystemInformationProgram(registry,
                                      QStringLiteral("software\\microsoft\\shared tools\\msinfo"));
}

TEST(IniRegistry, ReadsAHandWrittenFileWithCommentsBlanksAndWindowsLineEnds)
{
    RegistryFile file;
    ASSERT_TRUE(TestFiles::write(file.path(), "\xef\xbb\xbf; written on another machine\r\n"
                                              "Stray=sz:before any key\r\n"
                                              "\r\n"
                                              "  [ SOFTWARE\\A ]  \r\n"
                                              "# a comment inside the key\r\n"
                                              "  Name  =  dword:0000000A  \r\n"
                                              "no equals sign here\r\n"
                                              "Bad=unknown:1\r\n"
                                              "[SOFTWARE\\B]\r\n"
                                              "Name=sz:from B\r\n"
                                              "[software\\a]\r\n"
                                              "Second=hex:ff\r\n"));
    IniRegistry registry(file.path());

    const Read number = readValue(registry, QStringLiteral("SOFTWARE\\A"), QStringLiteral("Name"));
    EXPECT_EQ(number.result, Registry::Success);
    EXPECT_EQ(number.type, Registry::REG_DWORD);
    EXPECT_EQ(number.data, QByteArray("\x0a\0\0\0", 4));

    // A key written twice gathers the values of both groups.
    const Read second =
        readValue(registry, QStringLiteral("SOFTWARE\\A"), QStringLiteral("Second"));
    EXPECT_EQ(second.type, Registry::REG_BINARY);
    EXPECT_EQ(second.data, QByteArray("\xff"));

    for (const char *name : {"Stray", "Bad", "no equals sign here"})
        EXPECT_EQ(readValue(registry, QStringLiteral("SOFTWARE\\A"), QLatin1String(name)).result,
                  Registry::FileNotFound)
            << name;
    EXPECT_EQ(readValue(registry, QStringLiteral("SOFTWARE"), QStringLiteral("Name")).result,
              Registry::FileNotFound);
}

TEST(IniRegistry, AValueTooLargeForTheBufferIsNotRead)
{
    RegistryFile file;
    file.write({QStringLiteral("[K]"), QStringLiteral("V=hex:01,02,03,04,05")});
    IniRegistry registry(file.path());
    Registry::Key key = 0;
    ASSERT_EQ(registry.openKey(Machine, QStringLiteral("K"), &key), Registry::Success);
    quint32 type = 0;
    QByteArray data("untouched");
    EXPECT_EQ(registry.queryValue(key, QStringLiteral("V"), &type, &data, 4), Registry::MoreData);
    EXPECT_EQ(data, QByteArray("untouched"));
    EXPECT_EQ(registry.queryValue(key, QStringLiteral("V"), &type, &data, 5), Registry::Success);
    EXPECT_EQ(data.size(), 5);
    EXPECT_EQ(registry.closeKey(key), Registry::Success);
}

TEST(IniRegistry, OnlyTheMachineRootIsHeldAndOnlyOpenKeysAnswer)
{
    RegistryFile file;
    file.write({QStringLiteral("[K]"), QStringLiteral("V=sz:x")});
    IniRegistry registry(file.path());
    Registry::Key key = 0;
    EXPECT_EQ(registry.openKey(0x80000001u, QStringLiteral("K"), &key), Registry::InvalidHandle);
    ASSERT_EQ(registry.openKey(Machine, QStringLiteral("K"), &key), Registry::Success);
    EXPECT_EQ(registry.openKeyCount(), 1);
    EXPECT_EQ(registry.closeKey(key), Registry::Success);
    EXPECT_EQ(registry.openKeyCount(), 0);
    quint32 type = 0;
    QByteArray data;
    EXPECT_EQ(registry.queryValue(key, QStringLiteral("V"), &type, &data, 1024),
              Registry::InvalidHandle);
    EXPECT_EQ(registry.closeKey(key), Registry::InvalidHandle);
}

TEST(IniRegistry, AnEntryInstalledWhileTheProgramRunsCountsAtTheNextOpen)
{
    RegistryFile file;
    IniRegistry registry(file.path());
    EXPECT_EQ(readValue(registry, QStringLiteral("K"), QStringLiteral("V")).result,
              Registry::FileNotFound);
    file.write({QStringLiteral("[K]"), QStringLiteral("V=sz:now")});
    EXPECT_EQ(readValue(registry, QStringLiteral("K"), QStringLiteral("V")).result,
              Registry::Success);
}

// Sets XDG_CONFIG_DIRS for one test and puts the old value back.
class ConfigDirs : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_hadOld = qEnvironmentVariableIsSet("XDG_CONFIG_DIRS");
        m_old = qgetenv("XDG_CONFIG_DIRS");
    }
    void TearDown() override
    {
        if (m_hadOld)
            qputenv("XDG_CONFIG_DIRS", m_old);
        else
            qunsetenv("XDG_CONFIG_DIRS");
    }

private:
    bool m_hadOld = false;
    QByteArray m_old;
};

TEST_F(ConfigDirs, TheMachineFileIsTheFirstOneFoundInTheConfigurationFolders)
{
    RegistryFile first;
    RegistryFile second;
    // A folder that only carries the file's name does not count.
    first.createFolder(QStringLiteral("TimoraV2/registry.ini"));
    const QString secondFile = second.createFile(QStringLiteral("TimoraV2/registry.ini"));
    const QString thirdFile = first.createFile(QStringLiteral("third/TimoraV2/registry.ini"));
    qputenv("XDG_CONFIG_DIRS",
            (QStringLiteral("relative/dir:") + first.folder() + QLatin1Char(':') + second.folder() +
             QLatin1Char(':') + first.folder() + QStringLiteral("/third"))
                .toLocal8Bit());
    EXPECT_EQ(IniRegistry::machineFile(), secondFile);
    Q_UNUSED(thirdFile);
}

TEST_F(ConfigDirs, WithoutAnyFileTheMachineFileIsTheOneUnderEtcXdg)
{
    RegistryFile empty;
    qputenv("XDG_CONFIG_DIRS", empty.folder().toLocal8Bit());
    EXPECT_EQ(IniRegistry::machineFile(), QStringLiteral("/etc/xdg/TimoraV2/registry.ini"));
}

TEST_F(ConfigDirs, TheMachineRegistryFollowsTheConfigurationFolders)
{
    RegistryFile file;
    ASSERT_TRUE(TestFiles::write(file.folder() + QStringLiteral("/TimoraV2/registry.ini"),
                                 "[K]\nV=sz:found\n"));
    qputenv("XDG_CONFIG_DIRS", file.folder().toLocal8Bit());
    IniRegistry registry;
    const Read read = readValue(registry, QStringLiteral("K"), QStringLiteral("V"));
    EXPECT_EQ(read.result, Registry::Success);
    EXPECT_EQ(read.data, QByteArray("found\0", 6));
}

TEST(PackagedRegistry, NamesTheSystemInformationProgram)
{
    IniRegistry registry(QStringLiteral(PACKAGED_REGISTRY));
    expectTheSystemInformationProgram(registry,
                                      QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO"));
}

} // namespace
