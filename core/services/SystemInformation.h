#pragma once

#include "core/services/Registry.h"

#include <QString>
#include <optional>

// Where the system's System Information program lies, as the machine-wide registry says: the
// program's own path, or else the folder that holds it.
class SystemInformation
{
public:
    static inline const QString ProgramKey =
        QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO");
    static inline const QString ProgramValue = QStringLiteral("PATH");
    static inline const QString FolderKey =
        QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools Location");
    static inline const QString FolderValue = QStringLiteral("MSINFO");
    static inline const QString ProgramFileName = QStringLiteral("hardinfo");

    // Without a registry nothing is found.
    explicit SystemInformation(Registry *registry) : m_registry(registry) {}

    // The program to start; nothing when the registry names none, or names a folder without the
    // program as an ordinary file in it. Throws AppError as GetKeyValue does.
    std::optional<QString> program();

    // Reads valueName of keyName under root into text: a string as it is, a DWORD as decimal
    // text, any other type leaves text alone. Returns false, with empty text, when the key or
    // the value cannot be read. A value of zero bytes throws AppError.
    bool GetKeyValue(Registry::Root root, const QString &keyName, const QString &valueName,
                     QString &text);

private:
    Registry *m_registry;
};
