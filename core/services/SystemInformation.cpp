#include "core/services/SystemInformation.h"

#include "core/rules/AppError.h"

#include <QFileInfo>
#include <QtEndian>

namespace {

constexpr qsizetype ValueBufferSize = 1024;

// Closes an open registry key however the look-up ends.
class KeyCloser
{
public:
    KeyCloser(Registry *registry, Registry::Key key) : m_registry(registry), m_key(key) {}
    ~KeyCloser() { m_registry->closeKey(m_key); }
    KeyCloser(const KeyCloser &) = delete;
    KeyCloser &operator=(const KeyCloser &) = delete;

private:
    Registry *m_registry;
    Registry::Key m_key;
};

} // namespace

std::optional<QString> SystemInformation::program()
{
    QString path;
    if (GetKeyValue(Registry::HKEY_LOCAL_MACHINE, ProgramKey, ProgramValue, path))
        return path;
    if (!GetKeyValue(Registry::HKEY_LOCAL_MACHINE, FolderKey, FolderValue, path))
        return std::nullopt;
    // The value names the folder; the program in it must be an ordinary file.
    const QString program = path + QLatin1Char('/') + ProgramFileName;
    if (!QFileInfo(program).isFile())
        return std::nullopt;
    return program;
}

bool SystemInformation::GetKeyValue(Registry::Root root, const QString &keyName,
                                    const QString &valueName, QString &text)
{
    Registry::Key key = 0;
    // Read access is all the look-up needs, and all an ordinary user gets on machine-wide keys.
    if (!m_registry || m_registry->openKey(root, keyName, &key) != Registry::Success) {
        text.clear();
        return false;
    }
    const KeyCloser closer(m_registry, key);

    // Values of up to 1024 bytes are read; a longer one fails the look-up.
    QByteArray buffer;
    quint32 type = 0;
    if (m_registry->queryValue(key, valueName, &type, &buffer, ValueBufferSize) !=
        Registry::Success) {
        text.clear();
        return false;
    }
    const qsizetype size = buffer.size();
    if (size == 0)
        throw AppError(AppError::InvalidProcedureCall);
    // A string stored with its terminating NUL is read without it.
    const QByteArray kept = buffer.at(size - 1) == '\0' ? buffer.left(size - 1) : buffer;

    switch (type) {
    case Registry::REG_SZ:
        text = QString::fromUtf8(kept);
        break;
    case Registry::REG_DWORD: {
        QByteArray number = buffer.left(4);
        number.append(4 - number.size(), '\0');
        text = QString::number(qFromLittleEndian<quint32>(number.constData()));
        break;
    }
    default:
        break;
    }
    return true;
}
