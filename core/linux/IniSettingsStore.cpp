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
    if (!stored.isValid())
        return defaultValue;
    // An unquoted value with commas reads back as a list; keep its text as written.
    if (stored.userType() == QMetaType::QStringList)
        return stored.toStringList().join(QLatin1Char(','));
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
    settings.remove(section);
    settings.beginGroup(section);
    for (const auto &[key, text] : values)
        settings.setValue(key, text);
    settings.endGroup();
    settings.sync();
    if (settings.status() != QSettings::NoError)
        throw AppError(FileAccessError,
                       QStringLiteral("Path/File access error: cannot write ") + m_path);
    ::chmod(QFile::encodeName(m_path).constData(), 0600);
}
