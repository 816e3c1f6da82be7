#include "AccountsOnFile.h"

#include "TestFiles.h"

#include <QFileInfo>
#include <gtest/gtest.h>

AccountsOnFile::AccountsOnFile() : m_dir(std::make_unique<QTemporaryDir>())
{
    EXPECT_TRUE(m_dir->isValid());
    useFolder(m_dir->path());
}

AccountsOnFile::AccountsOnFile(const QString &configFolder)
{
    useFolder(configFolder);
}

void AccountsOnFile::useFolder(const QString &configFolder)
{
    m_root = configFolder;
    m_path = configFolder + QStringLiteral("/TimoraV2/TimoraV2.ini");
    store = IniSettingsStore(m_path);
    table.reset();
    table.setStore(&fileStore);
}

AccountsOnFile::~AccountsOnFile()
{
    table.reset();
    table.setStore(nullptr);
}

QString AccountsOnFile::folder() const
{
    return QFileInfo(m_path).absolutePath();
}

bool AccountsOnFile::write(const QByteArray &bytes) const
{
    return TestFiles::write(m_path, bytes) && TestFiles::setMode(folder(), 0700) &&
           TestFiles::setMode(m_path, 0600);
}
