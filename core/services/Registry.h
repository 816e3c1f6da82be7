#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

// A read-only registry of typed values, looked up the way the About window expects: open a key
// under a root, query one of its values (type and bytes), close the key. Every call answers with a
// result code; Success (0) means it worked, anything else that it did not.
class Registry
{
public:
    using Root = quint32; // a predefined root key
    using Key = quint32;  // an open key, as handed out by openKey

    static constexpr Root HKEY_LOCAL_MACHINE = 0x80000002u;

    // Value types.
    static constexpr quint32 REG_SZ = 1;
    static constexpr quint32 REG_BINARY = 3;
    static constexpr quint32 REG_DWORD = 4;

    // Result codes.
    static constexpr int Success = 0;
    static constexpr int FileNotFound = 2;  // no such key or value
    static constexpr int InvalidHandle = 6; // an unknown root or a key that is not open
    static constexpr int MoreData = 234;    // the value holds more bytes than asked for

    virtual ~Registry() = default;

    // Opens subKey under root for reading and stores its handle in *key.
    virtual int openKey(Root root, const QString &subKey, Key *key) = 0;
    // Reads valueName of an open key: its type into *type and its bytes into *data. A value of
    // more than capacity bytes is not read: the answer is MoreData.
    virtual int queryValue(Key key, const QString &valueName, quint32 *type, QByteArray *data,
                           qsizetype capacity) = 0;
    virtual int closeKey(Key key) = 0;
};
