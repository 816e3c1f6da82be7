#include "core/settings/IniSettingsStore.h"

#include "core/rules/AppError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QStringList>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString errnoText()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

// Why one piece of the store's path cannot be trusted, or empty.
QString unsafePiece(const QString &path, bool folder)
{
    const QString what =
        (folder ? QStringLiteral("the settings folder ") : QStringLiteral("the settings file ")) +
        path;
    struct stat st
    {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0) {
        if (errno == ENOENT)
            return {};
        return QStringLiteral("cannot examine ") + what + QStringLiteral(": ") + errnoText();
    }
    if (S_ISLNK(st.st_mode))
        return what + QStringLiteral(" is a symbolic link");
    if (folder ? !S_ISDIR(st.st_mode) : !S_ISREG(st.st_mode))
        return what + (folder ? QStringLiteral(" is not a folder")
                              : QStringLiteral(" is not a regular file"));
    if (st.st_uid != ::geteuid() && st.st_uid != 0)
        return what + QStringLiteral(" belongs to another account (uid %1)").arg(st.st_uid);
    if (st.st_mode & (S_IWGRP | S_IWOTH))
        return what + QStringLiteral(" can be written by its group or by others (mode %1)")
                          .arg(st.st_mode & 07777, 4, 8, QLatin1Char('0'));
    return {};
}

} // namespace

IniSettingsStore::IniSettingsStore(const QString &filePath) : m_path(filePath) {}

QString IniSettingsStore::defaultPath()
{
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return config + QStringLiteral("/TimoraV2/TimoraV2.ini");
}

QString IniSettingsStore::unsafeBecause() const
{
    const QString folder = unsafePiece(QFileInfo(m_path).absolutePath(), true);
    return folder.isEmpty() ? unsafePiece(m_path, false) : folder;
}

QString IniSettingsStore::refusal() const
{
    const QString reason = unsafeBecause();
    if (!reason.isEmpty() && reason != m_reported) {
        m_reported = reason;
        std::fprintf(stderr,
                     "TimoraDesk: %s; it is neither read nor written, and every logon is refused "
                     "until it is mended\n",
                     qPrintable(reason));
        std::fflush(stderr);
    }
    return reason;
}

QString IniSettingsStore::value(const QString &section, const QString &key,
                                const QString &defaultValue) const
{
    if (!refusal().isEmpty())
        return defaultValue;
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
    // The folder is made private from the start: made any wider by the umask, it would be
    // refused below.
    const QByteArray folderName = QFile::encodeName(folder);
    bool created = ::mkdir(folderName.constData(), 0700) == 0;
    if (!created && errno == ENOENT) {
        QDir().mkpath(QFileInfo(folder).absolutePath());
        created = ::mkdir(folderName.constData(), 0700) == 0;
    }
    struct stat st
    {};
    if (::stat(folderName.constData(), &st) != 0 || !S_ISDIR(st.st_mode))
        throw AppError(AppError::PathFileAccessError, QStringLiteral("cannot create ") + folder);
    if (const QString reason = refusal(); !reason.isEmpty())
        throw AppError(AppError::PathFileAccessError, reason);
    if (!created && !m_keepFolderMode)
        ::chmod(QFile::encodeName(folder).constData(), 0700);
    if (!info.exists()) {
        const int fd = ::open(QFile::encodeName(m_path).constData(),
                              O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0 && errno != EEXIST)
            throw AppError(AppError::PathFileAccessError,
                           m_path + QStringLiteral(": ") + errnoText());
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
        throw AppError(AppError::PathFileAccessError, QStringLiteral("cannot write ") + m_path);
    }
    ::chmod(QFile::encodeName(m_path).constData(), 0600);
}
