#pragma once

#include "core/services/Registry.h"

#include <QHash>

// The machine-wide registry (HKEY_LOCAL_MACHINE, the only root it holds), read-only, kept in a
// small INI file: the first TimoraV2/registry.ini in a folder of $XDG_CONFIG_DIRS, else
// /etc/xdg/TimoraV2/registry.ini. The file is read afresh at every openKey, so an entry installed
// while the program runs counts at once. A missing or unreadable file, key or value only fails
// the look-up.
//
// The file:
//
//   ; comment (also '#')
//   [SOFTWARE\Microsoft\Shared Tools\MSINFO]
//   PATH=sz:/usr/bin/hardinfo
//
// - A key is a group named by its key path written as in the registry, with single backslashes
//   and no escaping; a group that appears twice adds to the first.
// - A value is a line "name=type:data". Blanks around the name and the data are dropped:
//     sz:text         REG_SZ: the text in UTF-8 followed by its terminating NUL
//     dword:0000000a  REG_DWORD: up to eight hexadecimal digits, held as four bytes,
//                     little-endian
//     hex:2f,75,73    REG_BINARY: the bytes in hexadecimal, separated by commas
//     hex(t):2f,75    a value of type t (hexadecimal) holding exactly these bytes: hex(1):41,42
//                     is a REG_SZ without a terminator, hex(1): one of zero bytes
// - Key paths and value names match without regard to case, as in the registry.
// - A line that cannot be read is skipped, so its value counts as missing.
class IniRegistry : public Registry
{
public:
    // The machine-wide file, looked up again at every openKey.
    IniRegistry() = default;
    // A fixed file in place of the machine-wide one.
    explicit IniRegistry(const QString &filePath);

    // The machine-wide file as it would be read now.
    static QString machineFile();

    int openKey(Root root, const QString &subKey, Key *key) override;
    int queryValue(Key key, const QString &valueName, quint32 *type, QByteArray *data,
                   qsizetype capacity) override;
    int closeKey(Key key) override;

    // How many keys are open right now.
    int openKeyCount() const { return int(m_open.size()); }

    struct Value
    {
        quint32 type = 0;
        QByteArray data;
    };
    using Values = QHash<QString, Value>; // by value name in lower case

private:
    QString m_fixedPath;
    QHash<Key, Values> m_open;
    Key m_nextKey = 1;
};
