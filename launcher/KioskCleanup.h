#pragma once

#include <string>
#include <sys/types.h>

// What the launcher clears of the kiosk account between two sessions, as root. Nothing here
// follows a symbolic link or a path the kiosk account could change while it works: files are
// reached through descriptors of their folders, opened without following links.
namespace KioskCleanup {

// Ends every process of uid (real, effective or saved), again and again until none is left or
// rounds have passed; a process whose control group names keepUnit (when not empty) is left.
// Returns whether none is left.
bool endProcesses(uid_t uid, const std::string &keepUnit, int rounds = 200);

// Whether a process of uid (as above, a zombie aside) runs.
bool anyProcess(uid_t uid, const std::string &keepUnit);

// Makes home (an absolute path, every folder above it root's and closed to others) anew: anything
// mounted inside it is detached, its contents removed and those of skeleton (a folder of root's)
// copied in, owned by uid and gid; the home itself becomes uid's, mode 0700. A missing skeleton
// leaves the home empty. Returns false with why set when the home could not be made anew.
bool resetHome(const std::string &home, const std::string &skeleton, uid_t uid, gid_t gid,
               std::string &why);

// Removes what uid left in the shared temporary folders (/tmp, /var/tmp, /dev/shm).
void clearShared(uid_t uid);

} // namespace KioskCleanup
