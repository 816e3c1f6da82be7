#pragma once

#include <QList>
#include <QPair>
#include <QString>

// The per-user settings store: text values addressed by section and key.
class SettingsStore
{
public:
    using KeyValues = QList<QPair<QString, QString>>;

    virtual ~SettingsStore() = default;

    // Empty when the store may be used; otherwise why it must not be (for example a file that
    // others can write). A refused store is neither read nor written.
    virtual QString refusal() const = 0;

    // The key's text, or defaultValue when the key or the section is missing.
    virtual QString value(const QString &section, const QString &key,
                          const QString &defaultValue = QString()) const = 0;

    // Replaces the whole section by the given keys, written in the given order, in one step:
    // afterwards the store holds either the old section or the new one, never a mix.
    // Throws AppError when the store could not be written; the old section is then kept.
    virtual void replaceSection(const QString &section, const KeyValues &values) = 0;
};
