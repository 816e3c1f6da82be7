#pragma once

#include "SettingsStore.h"

#include <QHash>

// A settings section held in memory and only read: rows from elsewhere laid out as a settings
// file's keys (user1, pswd1 …), so that they are read by exactly the rules a file is read by.
class SectionTexts : public SettingsStore
{
public:
    void set(const QString &key, const QString &text) { m_values.insert(key, text); }

    QString refusal() const override { return {}; }
    QString value(const QString &section, const QString &key,
                  const QString &defaultValue = QString()) const override;
    // Never written: throws AppError (invalid procedure call).
    void replaceSection(const QString &section, const KeyValues &values) override;

private:
    QHash<QString, QString> m_values;
};
