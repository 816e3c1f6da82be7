#include "core/settings/IniRegistry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QtEndian>

#include <optional>

namespace {

const QString RegistryFile = QStringLiteral("TimoraV2/registry.ini");

std::optional<QByteArray> parseHexBytes(QStringView list)
{
    QByteArray bytes;
    if (list.trimmed().isEmpty())
        return bytes;
    for (QStringView part : list.split(QLatin1Char(','))) {
        part = part.trimmed();
        bool ok = false;
        const uint byte = part.toUInt(&ok, 16);
        if (!ok || part.size() > 2 || byte > 0xff)
            return std::nullopt;
        bytes.append(char(byte));
    }
    return bytes;
}

// One value from the text after "name=", or nothing when the text cannot be read.
std::optional<IniRegistry::Value> parseValue(QStringView text)
{
    const qsizetype colon = text.indexOf(QLatin1Char(':'));
    if (colon < 0)
        return std::nullopt;
    const QStringView kind = text.left(colon).trimmed();
    const QStringView data = text.mid(colon + 1);

    IniRegistry::Value value;
    if (kind.compare(QLatin1String("sz"), Qt::CaseInsensitive) == 0) {
        value.type = Registry::REG_SZ;
        value.data = data.toUtf8();
        value.data.append('\0');
        return value;
    }
    if (kind.compare(QLatin1String("dword"), Qt::CaseInsensitive) == 0) {
        const QStringView digits = data.trimmed();
        bool ok = false;
        const uint number = digits.toUInt(&ok, 16);
        if (!ok || digits.isEmpty() || digits.size() > 8)
            return std::nullopt;
        value.type = Registry::REG_DWORD;
        value.data.resize(4);
        qToLittleEndian<quint32>(number, value.data.data());
        return value;
    }
    if (kind.compare(QLatin1String("hex"), Qt::CaseInsensitive) == 0) {
        value.type = Registry::REG_BINARY;
    } else if (kind.startsWith(QLatin1String("hex("), Qt::CaseInsensitive) &&
               kind.endsWith(QLatin1Char(')'))) {
        bool ok = false;
        value.type = kind.mid(4, kind.size() - 5).toUInt(&ok, 16);
        if (!ok)
            return std::nullopt;
    } else {
        return std::nullopt;
    }
    std::optional<QByteArray> bytes = parseHexBytes(data);
    if (!bytes)
        return std::nullopt;
    value.data = *bytes;
    return value;
}

// The values of every group named keyPath, or nothing when the file or the group is missing.
std::optional<IniRegistry::Values> readKey(const QString &filePath, const QString &keyPath)
{
    QFile file(filePath);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QString text = QString::fromUtf8(file.readAll());
    if (text.startsWith(QChar(0xfeff)))
        text.remove(0, 1);

    std::optional<IniRegistry::Values> values;
    bool inKey = false;
    for (QStringView line : QStringView(text).split(QLatin1Char('\n'))) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char(';')) ||
            line.startsWith(QLatin1Char('#')))
            continue;
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            inKey =
                line.mid(1, line.size() - 2).trimmed().compare(keyPath, Qt::CaseInsensitive) == 0;
            if (inKey && !values)
                values.emplace();
            continue;
        }
        if (!inKey)
            continue;
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals < 0)
            continue;
        if (std::optional<IniRegistry::Value> value = parseValue(line.mid(equals + 1).trimmed()))
            values->insert(line.left(equals).trimmed().toString().toLower(), *value);
    }
    return values;
}

} // namespace

IniRegistry::IniRegistry(const QString &filePath) : m_fixedPath(filePath) {}

QString IniRegistry::machineFile()
{
    const QString fallback = QStringLiteral("/etc/xdg");
    QStringList folders =
        qEnvironmentVariable("XDG_CONFIG_DIRS").split(QLatin1Char(':'), Qt::SkipEmptyParts);
    if (folders.isEmpty())
        folders.append(fallback);
    for (const QString &folder : std::as_const(folders)) {
        // Relative entries are not meant to be in the list; they would depend on the
        // working folder.
        if (QDir::isRelativePath(folder))
            continue;
        const QString candidate = folder + QLatin1Char('/') + RegistryFile;
        if (QFileInfo(candidate).isFile())
            return candidate;
    }
    return fallback + QLatin1Char('/') + RegistryFile;
}

int IniRegistry::openKey(Root root, const QString &subKey, Key *key)
{
    if (root != HKEY_LOCAL_MACHINE)
        return InvalidHandle;
    std::optional<Values> values =
        readKey(m_fixedPath.isEmpty() ? machineFile() : m_fixedPath, subKey);
    if (!values)
        return FileNotFound;
    const Key opened = m_nextKey++;
    if (m_nextKey == 0)
        m_nextKey = 1;
    m_open.insert(opened, *values);
    *key = opened;
    return Success;
}

int IniRegistry::queryValue(Key key, const QString &valueName, quint32 *type, QByteArray *data,
                            qsizetype capacity)
{
    const auto open = m_open.constFind(key);
    if (open == m_open.cend())
        return InvalidHandle;
    const auto found = open->constFind(valueName.toLower());
    if (found == open->cend())
        return FileNotFound;
    *type = found->type;
    if (found->data.size() > capacity)
        return MoreData;
    *data = found->data;
    return Success;
}

int IniRegistry::closeKey(Key key)
{
    return m_open.remove(key) ? Success : InvalidHandle;
}
