#pragma once

#include <string>
#include <vector>

#include <sys/types.h>

// The processes and threads of the machine as the kernel lists them (/proc), behind a small
// interface so that what the launcher decides about them is tested against a table of its own.
class ProcessTable
{
public:
    virtual ~ProcessTable() = default;
    // The process ids.
    virtual std::vector<long> processes() const = 0;
    // The thread ids of process pid (empty when it has gone).
    virtual std::vector<long> threads(long pid) const = 0;
    // The status text of one thread (empty when it has gone).
    virtual std::string status(long pid, long thread) const = 0;

    // Whether the status text of one thread is of a live thread of uid: its real, effective or
    // saved user id is uid, and it is no zombie (Z) and not dead (X). A process whose first thread
    // is a zombie while others run on is alive in those others.
    static bool liveThreadOf(const std::string &status, uid_t uid);

    // Whether a live thread of uid runs in any process but except.
    bool anyLiveThread(uid_t uid, pid_t except = 0) const;
};

// The kernel's: /proc/PID/task/TID/status.
class ProcProcessTable : public ProcessTable
{
public:
    std::vector<long> processes() const override;
    std::vector<long> threads(long pid) const override;
    std::string status(long pid, long thread) const override;
};
