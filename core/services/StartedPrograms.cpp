#include "core/services/StartedPrograms.h"

#include <QByteArray>
#include <QFile>
#include <QList>
#include <mutex>
#include <optional>
#include <vector>

namespace {

struct ProcessEntry
{
    qint64 pid;
    qint64 parent;
    quint64 startTime;
};

// How far up from a process the search for a started one goes.
constexpr int MaxAncestors = 32;

// The process's parent and start time from /proc/<pid>/stat; nothing when it does not run.
std::optional<ProcessEntry> readProcess(qint64 pid)
{
    if (pid <= 0)
        return std::nullopt;
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray line = stat.read(4096);
    // The command name stands in parentheses and may hold any character, ')' too.
    const qsizetype close = line.lastIndexOf(')');
    if (close < 0)
        return std::nullopt;
    // After the name: state (3), parent (4), ... start time (22).
    const QList<QByteArray> fields = line.mid(close + 2).split(' ');
    if (fields.size() < 20)
        return std::nullopt;
    bool parentOk = false;
    bool startOk = false;
    ProcessEntry entry{pid, fields.at(1).toLongLong(&parentOk),
                       fields.at(19).toULongLong(&startOk)};
    if (!parentOk || !startOk)
        return std::nullopt;
    return entry;
}

std::mutex mutex;
std::vector<ProcessEntry> started;

} // namespace

void StartedPrograms::add(qint64 pid)
{
    const std::optional<ProcessEntry> entry = readProcess(pid);
    if (!entry)
        return;
    const std::lock_guard lock(mutex);
    started.push_back(*entry);
}

bool StartedPrograms::includes(qint64 pid)
{
    const std::lock_guard lock(mutex);
    if (started.empty())
        return false;
    for (int depth = 0; depth < MaxAncestors; ++depth) {
        const std::optional<ProcessEntry> entry = readProcess(pid);
        if (!entry)
            return false;
        for (const ProcessEntry &known : started) {
            if (known.pid == entry->pid && known.startTime == entry->startTime)
                return true;
        }
        if (entry->parent <= 1)
            return false;
        pid = entry->parent;
    }
    return false;
}

void StartedPrograms::clear()
{
    const std::lock_guard lock(mutex);
    started.clear();
}
