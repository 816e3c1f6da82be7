#pragma once

#include "core/rules/SettingsStore.h"

#include <QMap>

// A settings store in memory that remembers the order of its writes and can be told to fail.
class MemorySettingsStore : public SettingsStore
{
public:
    QString refusal() const override { return refusedBecause; }
    QString value(const QString &section, const QString &key,
                  const QString &defaultValue = QString()) const override;
    void replaceSection(const QString &section, const KeyValues &values) override;

    void set(const QString &key, const QString &text) { m_sections[Section][key] = text; }
    QMap<QString, QString> section(const QString &name = Section) const
    {
        return m_sections.value(name);
    }
    bool failNextSave = false;
    // Makes the store refuse itself, as a settings file that others can write is refused.
    QString refusedBecause;
    int saves = 0;
    KeyValues lastWrites;

    static inline const QString Section = QStringLiteral("SecData");

private:
    QMap<QString, QMap<QString, QString>> m_sections;
};
