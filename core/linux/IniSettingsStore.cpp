#include "IniSettingsStore.h"

#include "../AppError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QStringList>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int FileAccessError = 75;

QString errnoText()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

} // namespace

IniSettingsStore::IniSettingsStore(const QString &filePath) : m_path(filePath) {}

QString IniSettingsStore::defaultPath()
{
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return config + QStringLiteral("/TimoraV2/TimoraV2.ini");
}

QString IniSettingsStore::value(const QString &section, const QString &key,
                                const QString &defaultValue) const
{
    QSettings settings(m_path, QSettings::IniFormat);
    const QVariant stored = settings.value(section + QLatin1Char('/') + key);
    // An unquoted value with commas reads back as a list; keep its text as written.
    if (stored.userType() == QMetaType::QStringList)
        return stored.toStringList().join(QLatin1Char(','));
    // Every value of the store is text. Qt's own typed forms (@Variant(...), @ByteArray(...),
    // @Rect(...) ...) are never written by the program, so such a value counts as missing: a
    // hand-made "@Variant" number can never turn into minutes, least of all unlimited ones.
    if (stored.userType() != QMetaType::QString)
        return defaultValue;
    return stored.toString();
}

void IniSettingsStore::prepareFile() const
{
    const QFileInfo info(m_path);
    const QString folder = info.absolutePath();
    if (!QDir().mkpath(folder))
        throw AppError(FileAccessError,
                       QStringLiteral("Path/File access error: cannot create ") + folder);
    ::chmod(QFile::encodeName(folder).constData(), 0700);
    if (!info.exists()) {
        const int fd = ::open(QFile::encodeName(m_path).constData(),
                              O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0 && errno != EEXIST)
            throw AppError(FileAccessError, QStringLiteral("Path/File access error: ") + m_path +
                                                QStringLiteral(": ") + errnoText());
        if (fd >= 0)
            ::close(fd);
    }
}

void IniSettingsStore::replaceSection(const QString &section, const KeyValues &values)
{
    prepareFile();
    QSettings settings(m_path, QSettings::IniFormat);
    settings.setAtomicSyncRequired(true);
    // The section as the file holds it now, to put back should the write fail.
    settings.beginGroup(section);
    QList<QPair<QString, QVariant>> before;
    for (const QString &key : settings.allKeys())
        before.append({key, settings.value(key)});
    settings.endGroup();

    settings.remove(section);
    settings.beginGroup(section);
    for (const auto &[key, text] : values)
        settings.setValue(key, text);
    settings.endGroup();
    settings.sync();
    if (settings.status() != QSettings::NoError) {
        // Qt keeps changes it could not write in its in-memory copy of the file, shared by every
        // later reader in this process: put the old section back there, so that what is read
        // afterwards is what the file still holds.
        settings.remove(section);
        settings.beginGroup(section);
        for (const auto &[key, value] : before)
            settings.setValue(key, value);
        settings.endGroup();
        throw AppError(FileAccessError,
                       QStringLiteral("Path/File access error: cannot write ") + m_path);
    }
    ::chmod(QFile::encodeName(m_path).constData(), 0600);
}
