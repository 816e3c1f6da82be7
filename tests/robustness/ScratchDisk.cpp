#include "ScratchDisk.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

namespace {

QString failure(const char *what)
{
    return QLatin1String(what) + QStringLiteral(": ") +
           QString::fromLocal8Bit(std::strerror(errno));
}

const char *const FillerName = "/filler";

} // namespace

ScratchDisk::ScratchDisk(qint64 bytes)
{
    if (!m_dir.isValid()) {
        m_whyNot = QStringLiteral("no temporary folder");
        return;
    }
    if (::geteuid() != 0) {
        m_whyNot = QStringLiteral("mounting a small tmpfs needs root");
        return;
    }
    const QByteArray options = "size=" + QByteArray::number(bytes) + ",mode=0755";
    if (::mount("tmpfs", QFile::encodeName(m_dir.path()).constData(), "tmpfs", 0,
                options.constData()) != 0) {
        m_whyNot = failure("mount -t tmpfs refused");
        return;
    }
    m_mounted = true;
}

ScratchDisk::~ScratchDisk()
{
    for (auto it = m_bindMounts.crbegin(); it != m_bindMounts.crend(); ++it)
        ::umount2(QFile::encodeName(*it).constData(), MNT_DETACH);
    if (m_mounted)
        ::umount2(QFile::encodeName(m_dir.path()).constData(), MNT_DETACH);
}

bool ScratchDisk::makeReadOnly(const QString &target)
{
    const QByteArray name = QFile::encodeName(target);
    if (::mount(name.constData(), name.constData(), nullptr, MS_BIND, nullptr) != 0) {
        m_whyNot = failure("bind mount refused");
        return false;
    }
    m_bindMounts.append(target);
    if (::mount(nullptr, name.constData(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) !=
        0) {
        m_whyNot = failure("read-only remount refused");
        return false;
    }
    return true;
}

qint64 ScratchDisk::fill()
{
    const QByteArray name = QFile::encodeName(m_dir.path() + QLatin1String(FillerName));
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0)
        return 0;
    const QByteArray block(512, 'x');
    qint64 written = 0;
    for (;;) {
        const ssize_t n = ::write(fd, block.constData(), size_t(block.size()));
        if (n <= 0)
            break;
        written += n;
    }
    ::close(fd);
    return written;
}

void ScratchDisk::freeUp()
{
    QFile::remove(m_dir.path() + QLatin1String(FillerName));
}
