#include "RoomJournal.h"

#include "core/rules/AppError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

QList<RoomJournal::Entry> RoomJournal::entries() const
{
    QList<Entry> result;
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly))
        return result;
    while (!file.atEnd()) {
        const QJsonObject o = QJsonDocument::fromJson(file.readLine()).object();
        if (!o.value(QStringLiteral("key")).isDouble() ||
            !o.value(QStringLiteral("session")).isString())
            continue;
        result.append(Entry{qint64(o.value(QStringLiteral("key")).toDouble()),
                            o.value(QStringLiteral("session")).toString(),
                            o.value(QStringLiteral("left")).toInt(),
                            o.value(QStringLiteral("today")).toString()});
    }
    return result;
}

bool RoomJournal::isEmpty() const
{
    return QFileInfo(m_path).size() == 0;
}

void RoomJournal::append(const Entry &entry)
{
    QList<Entry> all = entries();
    all.append(entry);
    replace(all);
}

void RoomJournal::replace(const QList<Entry> &entries)
{
    const QString folder = QFileInfo(m_path).absolutePath();
    QDir().mkpath(folder);
    QFile::setPermissions(folder,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    if (entries.isEmpty()) {
        if (QFile::exists(m_path) && !QFile::remove(m_path))
            throw AppError(AppError::PathFileAccessError, QStringLiteral("cannot empty ") + m_path);
        return;
    }
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly))
        throw AppError(AppError::PathFileAccessError, QStringLiteral("cannot write ") + m_path);
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    QByteArray lines;
    for (const Entry &e : entries) {
        const QJsonObject o{{QStringLiteral("key"), double(e.key)},
                            {QStringLiteral("session"), e.session},
                            {QStringLiteral("left"), e.minutesLeft},
                            {QStringLiteral("today"), e.today}};
        lines += QJsonDocument(o).toJson(QJsonDocument::Compact) + '\n';
    }
    // A full disk can take the file but not its lines; a short write would otherwise be
    // committed as an empty journal and the minutes lost without a word.
    if (file.write(lines) != lines.size() || !file.flush()) {
        file.cancelWriting();
        throw AppError(AppError::PathFileAccessError, QStringLiteral("cannot write ") + m_path);
    }
    if (!file.commit())
        throw AppError(AppError::PathFileAccessError, QStringLiteral("cannot write ") + m_path);
}
