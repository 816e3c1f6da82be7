#pragma once

#include <QList>
#include <QString>
#include <QtGlobal>

// The session ends that a room's server could not take when they happened, kept in a private
// file (0600 in a 0700 folder) until they are delivered. Every change rewrites the file in one
// step, so a crash leaves the old list or the new one.
class RoomJournal
{
public:
    struct Entry
    {
        qint64 key = 0;
        QString session;
        qint32 minutesLeft = 0;
        QString today;
        bool operator==(const Entry &) const = default;
    };

    explicit RoomJournal(const QString &path) : m_path(path) {}
    QString path() const { return m_path; }

    // What the file holds; lines that cannot be read are skipped.
    QList<Entry> entries() const;
    bool isEmpty() const;
    // Throw AppError when the file cannot be written.
    void append(const Entry &entry);
    void replace(const QList<Entry> &entries);

private:
    QString m_path;
};
