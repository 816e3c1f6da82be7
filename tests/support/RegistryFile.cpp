#include "RegistryFile.h"

#include "core/Services.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

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
    QFile out(path());
    ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
    out.write((lines.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8());
}

QString RegistryFile::createFile(const QString &name) const
{
    const QString p = m_dir.filePath(name);
    QDir().mkpath(QFileInfo(p).absolutePath());
    QFile out(p);
    EXPECT_TRUE(out.open(QIODevice::WriteOnly));
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
