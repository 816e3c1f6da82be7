#pragma once

#include "../SettingsStore.h"

// The settings store as an INI file, by default $XDG_CONFIG_HOME/TimoraV2/TimoraV2.ini.
// Every save rewrites the file through a temporary file and a rename, so a crash at any instant
// leaves the old file or the new one. The file holds passwords: it is kept 0600 in a 0700 folder.
class IniSettingsStore : public SettingsStore
{
public:
    explicit IniSettingsStore(const QString &filePath = defaultPath());

    static QString defaultPath();
    QString filePath() const { return m_path; }

    QString value(const QString &section, const QString &key,
                  const QString &defaultValue = QString()) const override;
    void replaceSection(const QString &section, const KeyValues &values) override;

private:
    void prepareFile() const;

    QString m_path;
};
