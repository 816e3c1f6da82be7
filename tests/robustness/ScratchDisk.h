#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A small file system of the test's own: a tmpfs of a given size mounted on a temporary folder,
// and read-only bind mounts inside it. Mounting needs root (or a mount namespace); where the
// machine does not allow it, available() is false and whyNot() tells why, so the test can skip.
// Everything is unmounted again when the object goes.
class ScratchDisk
{
public:
    explicit ScratchDisk(qint64 bytes);
    ~ScratchDisk();
    ScratchDisk(const ScratchDisk &) = delete;
    ScratchDisk &operator=(const ScratchDisk &) = delete;

    bool available() const { return m_mounted; }
    QString whyNot() const { return m_whyNot; }
    QString path() const { return m_dir.path(); }

    // Makes a file or a folder unchangeable, even for root: it is bind-mounted read-only onto
    // itself. Returns false (and sets whyNot) when the machine refuses.
    bool makeReadOnly(const QString &target);

    // Writes a filler file until the file system is full; returns the bytes written.
    qint64 fill();
    // Gives the space of the filler back.
    void freeUp();

private:
    QTemporaryDir m_dir;
    bool m_mounted = false;
    QString m_whyNot;
    QStringList m_bindMounts;
};
