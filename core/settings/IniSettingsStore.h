#pragma once

#include "core/rules/SettingsStore.h"

// The settings store as an INI file, by default $XDG_CONFIG_HOME/TimoraV2/TimoraV2.ini.
// Every save rewrites the file through a temporary file and a rename, so a crash at any instant
// leaves the old file or the new one. The file holds passwords: it is kept 0600 in a 0700 folder.
// Like ssh with its own files, the store refuses a file or folder that is a symbolic link, that
// belongs to another account (root aside) or that its group or others can write: such a file may
// have been changed by someone else, so it is neither read nor written. The first time a reason
// is found it is written on standard error.
class IniSettingsStore : public SettingsStore
{
public:
    explicit IniSettingsStore(const QString &filePath = defaultPath());

    static QString defaultPath();
    QString filePath() const { return m_path; }
    // A file written elsewhere than the program's own folder (an export): a folder that is
    // there already keeps its mode; a new one is still made 0700.
    void keepFolderMode() { m_keepFolderMode = true; }

    QString refusal() const override;
    QString value(const QString &section, const QString &key,
                  const QString &defaultValue = QString()) const override;
    void replaceSection(const QString &section, const KeyValues &values) override;

private:
    void prepareFile() const;
    // Why the folder or the file cannot be trusted; empty when both can (or do not exist yet).
    QString unsafeBecause() const;

    QString m_path;
    mutable QString m_reported;
    bool m_keepFolderMode = false;
};
