#pragma once

#include "core/rules/AccountTable.h"
#include "core/rules/FileAccountStore.h"
#include "core/settings/IniSettingsStore.h"

#include <QTemporaryDir>
#include <memory>

// An account table over a settings file of the test's own, where the program keeps it below
// a configuration folder: <configuration folder>/TimoraV2/TimoraV2.ini. Nothing is written until
// the test saves; the table starts empty, and is emptied and lets go of the store when the object
// goes.
class AccountsOnFile
{
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_root;
    QString m_path;

public:
    // Below a fresh temporary folder.
    AccountsOnFile();
    // Below the given configuration folder.
    explicit AccountsOnFile(const QString &configFolder);
    ~AccountsOnFile();
    AccountsOnFile(const AccountsOnFile &) = delete;
    AccountsOnFile &operator=(const AccountsOnFile &) = delete;

    QString path() const { return m_path; }
    // The folder that holds the file.
    QString folder() const;
    // The configuration folder, free for other files of the test.
    QString root() const { return m_root; }
    // Puts these bytes in place of the settings file, private in a private folder as the
    // program keeps it; false when it cannot.
    bool write(const QByteArray &bytes) const;

    IniSettingsStore store{QString()};
    FileAccountStore fileStore{store};
    AccountTable table;

private:
    void useFolder(const QString &configFolder);
};
