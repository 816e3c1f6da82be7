#pragma once

#include <string>
#include <sys/types.h>

// What the launcher clears of the kiosk account between two sessions, as root. Nothing here
// follows a symbolic link or a path the kiosk account could change while it works: files are
// reached through descriptors of their folders, opened without following links.
namespace KioskCleanup {

// Ends every process of uid for good, from a helper process that has uid's user ids and no
// others: it sends SIGKILL to every process it may signal (kill(-1)), again and again until the
// kernel finds none, within seconds. Each kill(-1) reaches all of them at one instant, so neither
// a chain of forks nor a process whose first thread has ended escapes. uid 0 is refused. Returns
// whether no thread of uid is left (anyProcess).
bool endProcesses(uid_t uid, gid_t gid, int seconds = 10);

// Whether a thread of uid (its real, effective or saved user id) runs: every thread of every
// process in /proc/PID/task is looked at, so a process whose first thread is a zombie while
// another runs on counts. Zombie threads do not, nor the process except.
bool anyProcess(uid_t uid, pid_t except = 0);

// Whether the status text of one thread (/proc/PID/task/TID/status) is of a live thread of uid.
bool liveTaskOf(const std::string &status, uid_t uid);

// Makes home (an absolute path, every folder above it root's and closed to others) anew: anything
// mounted inside it is detached, its contents removed and those of skeleton (a folder of root's)
// copied in, owned by uid and gid; the home itself becomes uid's, mode 0700. A missing skeleton
// leaves the home empty. What cannot be removed (a folder that something keeps filling) is moved,
// home and all, into a folder of root's beside it (moved then names where), a new home is made,
// and a later reset removes what was moved. The home is never left root's. Returns false with why
// set when the home could not be made anew.
bool resetHome(const std::string &home, const std::string &skeleton, uid_t uid, gid_t gid,
               std::string &why, std::string &moved);

// Removes what uid left in the shared temporary folders (/tmp, /var/tmp, /dev/shm) and in its
// runtime folder (/run/user/UID, which stays).
void clearShared(uid_t uid);

} // namespace KioskCleanup
