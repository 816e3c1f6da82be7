#pragma once

#include "core/settings/IniRegistry.h"
#include "tests/support/FakeServices.h"

#include <QTemporaryDir>

// A registry file of the test's own in a temporary folder.
class RegistryFile
{
public:
    RegistryFile();
    QString path() const;
    // The folder the file lies in, free for other files of the test.
    QString folder() const { return m_dir.path(); }
    // Replaces the file with these lines.
    void write(const QStringList &lines) const;
    // Creates an empty ordinary file, or a folder, in the test's folder; returns its path.
    QString createFile(const QString &name) const;
    QString createFolder(const QString &name) const;

private:
    QTemporaryDir m_dir;
};

// The program's services with the machine-wide registry read from a file of the test's own.
class RegistryTest : public TimoraTest
{
protected:
    void SetUp() override;
    void TearDown() override;

    RegistryFile file;
    IniRegistry registry{file.path()};
};
