#include "KioskCleanup.h"

#include "MountTable.h"
#include "ProcessTable.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <vector>

#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace KioskCleanup {

namespace {

// Folders deeper than this are moved up to the home's top before they are emptied, so that a
// tree of any depth is removed with a bounded number of open folders.
constexpr int MaxDepth = 48;
constexpr int DirectoryFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

// The monotonic clock in milliseconds.
long long nowMs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

// Runs in a child of the launcher: takes uid's user ids and nothing else, then sends SIGKILL to
// every process it may signal, again and again, until the kernel finds none (or the time is up).
// A process may signal exactly the processes whose real or saved user id is its real or effective
// one, so this is every process of uid and no other. One kill(-1) reaches all of them at one
// instant, while no fork can complete; a process that has been sent SIGKILL can no longer fork.
[[noreturn]] void killEverything(uid_t uid, gid_t gid, long long untilMs)
{
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    close_range(STDERR_FILENO + 1, ~0U, 0);
    if (setgroups(0, nullptr) != 0 || setresgid(gid, gid, gid) != 0 ||
        setresuid(uid, uid, uid) != 0 || setresuid(0, 0, 0) == 0)
        std::_Exit(2);
    // Not traced or read by the account it now belongs to.
    prctl(PR_SET_DUMPABLE, 0);
    for (;;) {
        if (kill(-1, SIGKILL) != 0 && errno == ESRCH)
            std::_Exit(0);
        // What is left may be zombies that their new parent has yet to reap: nothing runs.
        if (!anyProcess(uid, getpid()))
            std::_Exit(0);
        if (nowMs() > untilMs)
            std::_Exit(1);
        usleep(2000);
    }
}

// Removes everything inside the folder dir (a descriptor); folders deeper than MaxDepth are moved
// to the top folder top under a new name instead, and moved is set. Returns false when something
// could not be removed.
bool removeContents(int dir, dev_t device, int depth, int top, unsigned &counter, bool &moved)
{
    const int listing = dup(dir);
    if (listing < 0)
        return false;
    DIR *folder = fdopendir(listing);
    if (!folder) {
        close(listing);
        return false;
    }
    std::vector<std::string> names;
    while (const dirent *entry = readdir(folder)) {
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
            names.emplace_back(entry->d_name);
    }
    closedir(folder);
    bool ok = true;
    for (const std::string &name : names) {
        struct stat info
        {};
        if (fstatat(dir, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
            ok = ok && errno == ENOENT;
            continue;
        }
        if (!S_ISDIR(info.st_mode)) {
            if (unlinkat(dir, name.c_str(), 0) != 0 && errno != ENOENT)
                ok = false;
            continue;
        }
        if (info.st_dev != device) {
            ok = false;
            continue;
        }
        if (depth >= MaxDepth) {
            const std::string moveTo = ".timoradesk-deep-" + std::to_string(counter++);
            if (renameat(dir, name.c_str(), top, moveTo.c_str()) == 0)
                moved = true;
            else
                ok = false;
            continue;
        }
        const int sub = openat(dir, name.c_str(), DirectoryFlags);
        if (sub < 0) {
            ok = false;
            continue;
        }
        bool subMoved = false;
        const bool emptied = removeContents(sub, device, depth + 1, top, counter, subMoved);
        close(sub);
        moved = moved || subMoved;
        if (!emptied)
            ok = false;
        else if (!subMoved && unlinkat(dir, name.c_str(), AT_REMOVEDIR) != 0 && errno != ENOENT)
            ok = false;
    }
    return ok;
}

// Everything inside dir, however deep.
bool removeAll(int dir)
{
    struct stat info
    {};
    if (fstat(dir, &info) != 0)
        return false;
    unsigned counter = 0;
    for (int pass = 0; pass < 100000; ++pass) {
        bool moved = false;
        if (!removeContents(dir, info.st_dev, 0, dir, counter, moved))
            return false;
        if (!moved)
            return true;
    }
    return false;
}

bool copyFile(int from, int to, const char *name, const struct stat &info, uid_t uid, gid_t gid)
{
    const int source = openat(from, name, O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (source < 0)
        return false;
    const int target = openat(to, name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    bool ok = target >= 0;
    char buffer[65536];
    ssize_t got;
    while (ok && (got = read(source, buffer, sizeof buffer)) > 0)
        ok = write(target, buffer, static_cast<size_t>(got)) == got;
    if (ok)
        ok = fchown(target, uid, gid) == 0 && fchmod(target, info.st_mode & 0777) == 0;
    if (target >= 0)
        close(target);
    close(source);
    return ok;
}

// Copies the contents of the folder from into the folder to, owned by uid and gid, without the
// set-id bits; only folders, ordinary files and symbolic links.
bool copyTree(int from, int to, uid_t uid, gid_t gid, int depth)
{
    if (depth > MaxDepth)
        return false;
    const int listing = dup(from);
    DIR *folder = listing >= 0 ? fdopendir(listing) : nullptr;
    if (!folder) {
        if (listing >= 0)
            close(listing);
        return false;
    }
    bool ok = true;
    while (const dirent *entry = readdir(folder)) {
        const char *name = entry->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0)
            continue;
        struct stat info
        {};
        if (fstatat(from, name, &info, AT_SYMLINK_NOFOLLOW) != 0) {
            ok = false;
        } else if (S_ISDIR(info.st_mode)) {
            if (mkdirat(to, name, 0700) != 0) {
                ok = false;
                continue;
            }
            const int source = openat(from, name, DirectoryFlags);
            const int target = openat(to, name, DirectoryFlags);
            ok = ok && source >= 0 && target >= 0 &&
                 copyTree(source, target, uid, gid, depth + 1) && fchown(target, uid, gid) == 0 &&
                 fchmod(target, info.st_mode & 0777) == 0;
            if (source >= 0)
                close(source);
            if (target >= 0)
                close(target);
        } else if (S_ISREG(info.st_mode)) {
            ok = copyFile(from, to, name, info, uid, gid) && ok;
        } else if (S_ISLNK(info.st_mode)) {
            char link[4096];
            const ssize_t length = readlinkat(from, name, link, sizeof link - 1);
            if (length < 0) {
                ok = false;
                continue;
            }
            link[length] = '\0';
            ok = symlinkat(link, to, name) == 0 &&
                 fchownat(to, name, uid, gid, AT_SYMLINK_NOFOLLOW) == 0 && ok;
        }
    }
    closedir(folder);
    return ok;
}

// Detaches whatever is mounted at path (unless only below is set) or below it (a FUSE file
// system of the user's, say), the deepest first.
void detachMounts(const std::string &path, bool onlyBelow = false)
{
    for (const std::string &point :
         MountTable::pointsAtOrBelow(MountTable::ofThisProcess(), path)) {
        if (!(onlyBelow && point == path))
            umount2(point.c_str(), MNT_DETACH | UMOUNT_NOFOLLOW);
    }
}

// The folder above home opened component by component without following links, each of them
// root's and closed to others (or sticky, as /tmp is); -1 with why set otherwise.
int openParent(const std::string &home, std::string &base, std::string &why)
{
    std::vector<std::string> parts;
    size_t start = 1;
    while (start <= home.size()) {
        size_t end = home.find('/', start);
        if (end == std::string::npos)
            end = home.size();
        const std::string part = home.substr(start, end - start);
        if (part == "." || part == "..") {
            why = "the home " + home + " is not a plain path";
            return -1;
        }
        if (!part.empty())
            parts.push_back(part);
        start = end + 1;
    }
    if (home.empty() || home[0] != '/' || parts.empty()) {
        why = "the home " + home + " is not a folder below /";
        return -1;
    }
    int dir = open("/", DirectoryFlags);
    for (size_t i = 0; dir >= 0; ++i) {
        struct stat info
        {};
        if (fstat(dir, &info) != 0 || info.st_uid != 0 ||
            ((info.st_mode & 022) != 0 && (info.st_mode & S_ISVTX) == 0)) {
            why = "a folder above the home " + home + " is not root's alone";
            close(dir);
            return -1;
        }
        if (i + 1 == parts.size())
            break;
        const int next = openat(dir, parts[i].c_str(), DirectoryFlags);
        close(dir);
        dir = next;
    }
    if (dir < 0) {
        why = "the folders above the home " + home + " cannot be opened: " + std::strerror(errno);
        return -1;
    }
    base = parts.back();
    return dir;
}

// Where a home's contents that could not be removed are moved: a folder of root's, mode 0700,
// beside the home (so on its file system), which the next reset empties.
constexpr const char *RemovedName = ".timoradesk-removed";

int openRemoved(int parent, bool make)
{
    if (make)
        mkdirat(parent, RemovedName, 0700);
    const int dir = openat(parent, RemovedName, DirectoryFlags);
    struct stat info
    {};
    if (dir >= 0 && (fstat(dir, &info) != 0 || info.st_uid != 0 || (info.st_mode & 077) != 0)) {
        close(dir);
        return -1;
    }
    return dir;
}

// Moves the home base (in parent) into the removed folder and makes a new, empty one, root's and
// closed; returns it opened, or -1 with why set. moved names where the old one went.
int moveAside(int parent, const std::string &base, const std::string &home, std::string &moved,
              std::string &why)
{
    const int removed = openRemoved(parent, true);
    if (removed < 0) {
        why = "cannot empty the home " + home + ", and the folder " + std::string(RemovedName) +
              " beside it is not root's alone";
        return -1;
    }
    const std::string name =
        base + "-" + std::to_string(time(nullptr)) + "-" + std::to_string(getpid());
    if (renameat(parent, base.c_str(), removed, name.c_str()) != 0) {
        why = "cannot empty the home " + home + " nor move it aside: " + std::strerror(errno);
        close(removed);
        return -1;
    }
    close(removed);
    const std::string folder = home.substr(0, home.size() - base.size());
    moved = folder + RemovedName + "/" + name;
    if (mkdirat(parent, base.c_str(), 0700) != 0) {
        why = "cannot make the home " + home + " anew: " + std::strerror(errno);
        return -1;
    }
    const int dir = openat(parent, base.c_str(), DirectoryFlags);
    if (dir < 0 || fchown(dir, 0, 0) != 0) {
        why = "cannot open the new home " + home;
        if (dir >= 0)
            close(dir);
        return -1;
    }
    return dir;
}

// Removes what earlier resets moved aside, now that nothing of the account runs; what still
// resists waits for the next reset.
void purgeRemoved(int parent)
{
    const int removed = openRemoved(parent, false);
    if (removed < 0)
        return;
    removeAll(removed);
    close(removed);
}

} // namespace

bool endProcesses(uid_t uid, gid_t gid, int seconds)
{
    // Never root's: kill(-1) as root would end the whole system.
    if (uid == 0)
        return false;
    const long long until = nowMs() + static_cast<long long>(seconds) * 1000;
    // A process of the account may kill the helper in the moment between its taking the account's
    // ids and its first kill(-1): another helper then goes, a bounded number of times.
    for (int helper = 0; helper < 64 && nowMs() <= until; ++helper) {
        const pid_t child = fork();
        if (child < 0)
            break;
        if (child == 0)
            killEverything(uid, gid, until);
        int status = 0;
        while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
        if (WIFEXITED(status))
            break;
    }
    return !anyProcess(uid);
}

bool anyProcess(uid_t uid, pid_t except)
{
    return ProcProcessTable().anyLiveThread(uid, except);
}

bool resetHome(const std::string &home, const std::string &skeleton, uid_t uid, gid_t gid,
               std::string &why, std::string &moved)
{
    std::string base;
    const int parent = openParent(home, base, why);
    if (parent < 0)
        return false;
    if (mkdirat(parent, base.c_str(), 0700) != 0 && errno != EEXIST) {
        why = "cannot make the home " + home + ": " + std::strerror(errno);
        close(parent);
        return false;
    }
    detachMounts(home);
    int dir = openat(parent, base.c_str(), DirectoryFlags);
    struct stat info
    {};
    if (dir < 0 || fstat(dir, &info) != 0 || (info.st_uid != uid && info.st_uid != 0)) {
        why = "the home " + home + " is not a folder of the kiosk account";
        if (dir >= 0)
            close(dir);
        close(parent);
        return false;
    }
    // Closed while it is emptied and filled.
    bool ok = fchown(dir, 0, 0) == 0 && fchmod(dir, 0700) == 0;
    if (ok && !removeAll(dir)) {
        // What cannot be removed now goes out of the account's reach, and a new home is made.
        close(dir);
        dir = moveAside(parent, base, home, moved, why);
        ok = dir >= 0;
    }
    if (!ok) {
        why = why.empty() ? "cannot empty the home " + home : why;
        // Never left root's: the account's session would not even start.
        if (fchownat(parent, base.c_str(), uid, gid, AT_SYMLINK_NOFOLLOW) != 0)
            why += std::string(", and it could not be given back: ") + std::strerror(errno);
        if (dir >= 0)
            close(dir);
        close(parent);
        return false;
    }
    const int skeletonDir = open(skeleton.c_str(), DirectoryFlags);
    if (skeletonDir >= 0) {
        struct stat skeletonInfo
        {};
        if (fstat(skeletonDir, &skeletonInfo) != 0 || skeletonInfo.st_uid != 0 ||
            (skeletonInfo.st_mode & 022) != 0) {
            why = "the skeleton " + skeleton + " is not root's alone";
            ok = false;
        } else if (!copyTree(skeletonDir, dir, uid, gid, 0)) {
            why = "cannot copy the skeleton " + skeleton + " into " + home;
            ok = false;
        }
        close(skeletonDir);
    } else if (errno != ENOENT) {
        why = "cannot open the skeleton " + skeleton + ": " + std::strerror(errno);
        ok = false;
    }
    if (fchown(dir, uid, gid) != 0 || fchmod(dir, 0700) != 0) {
        why = "cannot give the home " + home + " to the kiosk account";
        ok = false;
    }
    close(dir);
    purgeRemoved(parent);
    close(parent);
    return ok;
}

void clearShared(uid_t uid)
{
    // The account's runtime folder (logind's, kept while the account has a session): what is in
    // it, the user manager's runtime units among them, goes, the folder stays.
    const std::string runtime = "/run/user/" + std::to_string(uid);
    const int runtimeDir = open(runtime.c_str(), DirectoryFlags);
    struct stat runtimeInfo
    {};
    if (runtimeDir >= 0 && fstat(runtimeDir, &runtimeInfo) == 0 && runtimeInfo.st_uid == uid) {
        detachMounts(runtime, true);
        removeAll(runtimeDir);
    }
    if (runtimeDir >= 0)
        close(runtimeDir);
    for (const char *path : {"/tmp", "/var/tmp", "/dev/shm", "/tmp/.X11-unix", "/tmp/.ICE-unix"}) {
        const int dir = open(path, DirectoryFlags);
        if (dir < 0)
            continue;
        const int listing = dup(dir);
        DIR *folder = listing >= 0 ? fdopendir(listing) : nullptr;
        std::vector<std::string> names;
        while (folder) {
            const dirent *entry = readdir(folder);
            if (!entry)
                break;
            names.emplace_back(entry->d_name);
        }
        if (folder)
            closedir(folder);
        for (const std::string &name : names) {
            struct stat info
            {};
            if (name == "." || name == ".." ||
                fstatat(dir, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0 || info.st_uid != uid)
                continue;
            if (S_ISDIR(info.st_mode)) {
                const int sub = openat(dir, name.c_str(), DirectoryFlags);
                if (sub >= 0) {
                    if (removeAll(sub))
                        unlinkat(dir, name.c_str(), AT_REMOVEDIR);
                    close(sub);
                }
            } else {
                unlinkat(dir, name.c_str(), 0);
            }
        }
        close(dir);
    }
}

} // namespace KioskCleanup
