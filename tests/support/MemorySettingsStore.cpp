#include "MemorySettingsStore.h"

#include "core/rules/AppError.h"

QString MemorySettingsStore::value(const QString &section, const QString &key,
                                   const QString &defaultValue) const
{
    const auto s = m_sections.constFind(section);
    if (s == m_sections.cend())
        return defaultValue;
    return s->value(key, defaultValue);
}

void MemorySettingsStore::replaceSection(const QString &section, const KeyValues &values)
{
    if (!refusedBecause.isEmpty())
        throw AppError(AppError::PathFileAccessError, refusedBecause);
    if (failNextSave) {
        failNextSave = false;
        throw AppError(AppError::PathFileAccessError, QStringLiteral("disk full"));
    }
    ++saves;
    lastWrites = values;
    QMap<QString, QString> fresh;
    for (const auto &[key, text] : values)
        fresh.insert(key, text);
    if (fresh.isEmpty())
        m_sections.remove(section);
    else
        m_sections[section] = fresh;
}
