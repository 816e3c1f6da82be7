#include "RegistryFile.h"

#include "TestFiles.h"
#include "core/services/Services.h"

#include <QDir>

RegistryFile::RegistryFile()
{
    EXPECT_TRUE(m_dir.isValid());
}

QString RegistryFile::path() const
{
    return m_dir.filePath(QStringLiteral("registry.ini"));
}

void RegistryFile::write(const QStringList &lines) const
{
    ASSERT_TRUE(
        TestFiles::write(path(), (lines.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8()));
}

QString RegistryFile::createFile(const QString &name) const
{
    const QString p = m_dir.filePath(name);
    EXPECT_TRUE(TestFiles::write(p, {}));
    return p;
}

QString RegistryFile::createFolder(const QString &name) const
{
    const QString p = m_dir.filePath(name);
    EXPECT_TRUE(QDir().mkpath(p));
    return p;
}

void RegistryTest::SetUp()
{
    TimoraTest::SetUp();
    services.registry = &registry;
}

void RegistryTest::TearDown()
{
    // Every look-up closes the keys it opened.
    EXPECT_EQ(registry.openKeyCount(), 0);
    TimoraTest::TearDown();
}
