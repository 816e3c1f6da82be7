// timoradesk-launch: starts TimoraDesk under its own system account on the X display of its
// caller's seat, and the caller's desktop only once an ordinary user has logged on.
//
// Installed setuid root and executable only by the kiosk group. It runs one fixed program as one
// fixed account; of the caller it takes nothing but the display number, which it checks, and the
// display's cookie. The account, the group, the program and the kiosk's folders are fixed when it
// is built. It stays as a small root process for the whole X session (whose leading process it
// is) and ends with TimoraDesk, with TimoraDesk's exit status. Before TimoraDesk starts and after
// it ends, every process of the kiosk account is ended (by a kill(-1) from a process with the
// account's own ids, which no process of it can escape), its user manager stopped and its home
// made anew from a skeleton of root's, so nothing of one session reaches the next. TimoraDesk
// tells it through a socket (LauncherProtocol.h) when a session starts (with its minutes) and
// ends: the launcher then starts the desktop as the kiosk account, keeps the session's deadline
// on the monotonic clock and ends the session itself when TimoraDesk has not done so a few
// seconds past it; at the end it ends the kiosk account's programs before TimoraDesk asks for the
// restart, and starts TimoraDesk anew when that restart was refused.
//
// Usage: timoradesk-launch   (no arguments; DISPLAY=:N or :N.S in the environment)
//        timoradesk-launch --clean-home USER   (root only: a display manager's session set-up)

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/timerfd.h>
#include <sys/wait.h>
#include <unistd.h>

#include "KioskCleanup.h"
#include "XServerAccess.h"
#include "core/linux/LauncherProtocol.h"

#ifndef TIMORA_LAUNCH_ACCOUNT
#define TIMORA_LAUNCH_ACCOUNT "_timoradesk"
#endif
#ifndef TIMORA_LAUNCH_GROUP
#define TIMORA_LAUNCH_GROUP "timoradesk-kiosk"
#endif
#ifndef TIMORA_LAUNCH_PROGRAM
#define TIMORA_LAUNCH_PROGRAM "/usr/bin/timoradesk"
#endif
#ifndef TIMORA_LAUNCH_LOCALE_FILE
#define TIMORA_LAUNCH_LOCALE_FILE "/etc/default/locale"
#endif
#ifndef TIMORA_LAUNCH_DESKTOP
#define TIMORA_LAUNCH_DESKTOP "/usr/libexec/timoradesk/timoradesk-desktop"
#endif
#ifndef TIMORA_LAUNCH_SKELETON
#define TIMORA_LAUNCH_SKELETON "/etc/timoradesk/kiosk-home"
#endif
#ifndef TIMORA_LAUNCH_LOCK
#define TIMORA_LAUNCH_LOCK "/run/timoradesk/launch.lock"
#endif

namespace {

constexpr const char *Name = "timoradesk-launch";
constexpr int Refused = 126;
using LauncherProtocol::GraceSeconds;
using LauncherProtocol::LauncherFd;
// How often TimoraDesk is started anew in one X session (after a refused power action, or a
// session the launcher had to end), so that a program that cannot stay up does not loop.
constexpr int MaxStarts = 20;
// What of the caller's environment its desktop gets besides what the launcher sets itself: what
// the display manager and logind give a session.
constexpr const char *DesktopVariables[] = {
    "XDG_RUNTIME_DIR",     "XDG_SESSION_ID", "XDG_SESSION_TYPE", "XDG_SESSION_CLASS",
    "XDG_SESSION_DESKTOP", "XDG_SEAT",       "XDG_VTNR",         "XDG_CURRENT_DESKTOP",
    "DESKTOP_SESSION",     "XDG_DATA_DIRS",  "XDG_CONFIG_DIRS",  "DBUS_SESSION_BUS_ADDRESS",
    "XDG_GREETER_DATA_DIR"};

// The kiosk account: the caller.
struct Kiosk
{
    uid_t uid = 0;
    gid_t gid = 0;
    std::string name, home, shell;
};

pid_t childPid = 0;

[[noreturn]] void refuse(const char *why)
{
    std::fprintf(stderr, "%s: %s\n", Name, why);
    std::_Exit(Refused);
}

[[noreturn]] void refuseErrno(const char *what)
{
    std::fprintf(stderr, "%s: %s: %s\n", Name, what, std::strerror(errno));
    std::_Exit(Refused);
}

// The caller's real group or one of its supplementary groups is the kiosk group.
bool callerInGroup(gid_t callerGid)
{
    const group *kiosk = getgrnam(TIMORA_LAUNCH_GROUP);
    if (!kiosk)
        return false;
    if (callerGid == kiosk->gr_gid)
        return true;
    const int count = getgroups(0, nullptr);
    if (count <= 0)
        return false;
    std::vector<gid_t> groups(static_cast<size_t>(count));
    const int got = getgroups(count, groups.data());
    for (int i = 0; i < got; ++i) {
        if (groups[static_cast<size_t>(i)] == kiosk->gr_gid)
            return true;
    }
    return false;
}

bool isDigits(const char *text, size_t length, size_t maxLength)
{
    if (length == 0 || length > maxLength)
        return false;
    for (size_t i = 0; i < length; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
    }
    return true;
}

// A local display only: ":N" or ":N.S", N of at most four digits and S of at most two. A host
// name, a path or anything longer could point TimoraDesk at another server than the kiosk's.
bool isLocalDisplay(const char *display)
{
    if (!display || display[0] != ':')
        return false;
    const char *number = display + 1;
    const char *dot = std::strchr(number, '.');
    if (!dot)
        return isDigits(number, std::strlen(number), 4);
    return isDigits(number, static_cast<size_t>(dot - number), 4) &&
           isDigits(dot + 1, std::strlen(dot + 1), 2);
}

// A locale value as the system's locale file may set it: letters, digits and "_.@:-" only.
bool isLocaleValue(const std::string &value)
{
    if (value.empty() || value.size() > 64)
        return false;
    for (char c : value) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || std::strchr("_.@:-", c) != nullptr;
        if (!plain)
            return false;
    }
    return true;
}

// The machine's locale (LANG, LANGUAGE, LC_*) from its root-owned locale file, so that dates are
// written as on the rest of the system. Anything else in the file is ignored.
std::vector<std::string> systemLocale()
{
    std::vector<std::string> settings;
    const int fd = open(TIMORA_LAUNCH_LOCALE_FILE, O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return settings;
    struct stat info
    {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != 0 ||
        (info.st_mode & 022) != 0 || info.st_size > 4096) {
        close(fd);
        return settings;
    }
    char buffer[4097];
    const ssize_t got = read(fd, buffer, sizeof buffer - 1);
    close(fd);
    if (got <= 0)
        return settings;
    buffer[got] = '\0';
    char *save = nullptr;
    for (char *line = strtok_r(buffer, "\n", &save); line; line = strtok_r(nullptr, "\n", &save)) {
        std::string text(line);
        const size_t equals = text.find('=');
        if (equals == std::string::npos)
            continue;
        const std::string key = text.substr(0, equals);
        std::string value = text.substr(equals + 1);
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
            value.back() == value.front())
            value = value.substr(1, value.size() - 2);
        const bool known =
            key == "LANG" || key == "LANGUAGE" ||
            (key.rfind("LC_", 0) == 0 && key.size() > 3 &&
             key.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ_") == std::string::npos);
        if (known && isLocaleValue(value))
            settings.push_back(key + "=" + value);
    }
    return settings;
}

// Every signal back to its default action and unblocked: an ignored SIGTERM or a blocked SIGCHLD
// of the caller must not reach TimoraDesk.
void resetSignals()
{
    for (int number = 1; number < NSIG; ++number) {
        if (number != SIGKILL && number != SIGSTOP)
            std::signal(number, SIG_DFL);
    }
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
}

// Standard input from /dev/null; standard output and error stay (the session's log); every other
// descriptor of the caller is closed.
void closeInheritedFiles()
{
    const int null = open("/dev/null", O_RDWR);
    if (null < 0)
        refuseErrno("/dev/null");
    dup2(null, STDIN_FILENO);
    for (int fd : {STDOUT_FILENO, STDERR_FILENO}) {
        if (fcntl(fd, F_GETFD) < 0)
            dup2(null, fd);
    }
    if (null > STDERR_FILENO)
        close(null);
    // All of them, whatever the caller's limit on open files says.
    if (close_range(STDERR_FILENO + 1, ~0U, 0) != 0)
        refuseErrno("close_range");
}

// The least of each limit that TimoraDesk needs where root may not raise a limit to the
// system's (a container without CAP_SYS_RESOURCE): a caller's hard limit below it was cut to
// hinder TimoraDesk (a save that fails, a start without files), and the launcher refuses.
rlim_t leastNeeded(int resource)
{
    switch (resource) {
    case RLIMIT_NOFILE:
    case RLIMIT_NPROC:
    case RLIMIT_SIGPENDING:
        return 1024;
    case RLIMIT_STACK:
        return 8 << 20;
    case RLIMIT_MEMLOCK:
        return 64 << 10;
    case RLIMIT_CORE:
    case RLIMIT_MSGQUEUE:
    case RLIMIT_NICE:
    case RLIMIT_RTPRIO:
    case RLIMIT_RTTIME:
        return 0;
    default:
        return RLIM_INFINITY;
    }
}

// The caller's resource limits go as well: TimoraDesk gets the system's own (those of process 1),
// and no core dumps, which would hold the passwords. Where root may not raise a hard limit, as
// much as the caller's hard limit allows, but never less than TimoraDesk needs.
void resetLimits()
{
    for (int resource = 0; resource < RLIMIT_NLIMITS; ++resource) {
        const auto which = static_cast<__rlimit_resource>(resource);
        rlimit system{};
        if (prlimit(1, which, nullptr, &system) != 0)
            continue;
        if (setrlimit(which, &system) == 0)
            continue;
        rlimit own{};
        getrlimit(which, &own);
        own.rlim_cur = std::min(system.rlim_cur, own.rlim_max);
        if (setrlimit(which, &own) != 0 ||
            own.rlim_cur < std::min(system.rlim_cur, leastNeeded(resource))) {
            std::fprintf(stderr, "%s: cannot reset the caller's resource limit %d\n", Name,
                         resource);
            std::_Exit(Refused);
        }
    }
    const rlimit noCore{0, 0};
    setrlimit(RLIMIT_CORE, &noCore);
}
// The account's home: a folder of the account's own that nobody else may enter, as the settings
// file inside it holds the passwords.
void checkHome(const passwd &account)
{
    struct stat info
    {};
    if (account.pw_dir[0] != '/' || lstat(account.pw_dir, &info) != 0 || !S_ISDIR(info.st_mode) ||
        info.st_uid != account.pw_uid || (info.st_mode & 077) != 0) {
        std::fprintf(stderr, "%s: the home %s of %s must be a folder of that account, mode 0700\n",
                     Name, account.pw_dir, TIMORA_LAUNCH_ACCOUNT);
        std::_Exit(Refused);
    }
}

// The environment as a list for execve.
std::vector<char *> environmentOf(std::vector<std::string> &environment)
{
    std::vector<char *> envp;
    for (std::string &entry : environment)
        envp.push_back(entry.data());
    envp.push_back(nullptr);
    return envp;
}

// Runs in the child: replaces it with the fixed program at path, named name, with exactly this
// environment, default signal handling and the given umask.
[[noreturn]] void execFixed(const char *path, const char *name,
                            std::vector<std::string> &environment, mode_t mask)
{
    std::vector<char *> envp = environmentOf(environment);
    std::string programName = name;
    char *argv[] = {programName.data(), nullptr};
    umask(mask);
    resetSignals();
    execve(path, argv, envp.data());
    refuseErrno(path);
}

// Runs in the child: becomes the account for good and replaces itself with TimoraDesk, which
// finds its socket to the launcher on descriptor LauncherFd.
[[noreturn]] void becomeAccountAndRun(const passwd &account, const std::string &display,
                                      const std::vector<std::string> &locale, pid_t parent,
                                      int socket)
{
    if (socket != LauncherFd ? dup2(socket, LauncherFd) < 0 : fcntl(socket, F_SETFD, 0) < 0)
        refuseErrno("socket");
    close_range(LauncherFd + 1, ~0U, 0);
    const gid_t gid = account.pw_gid;
    if (setgroups(1, &gid) != 0 || setresgid(gid, gid, gid) != 0 ||
        setresuid(account.pw_uid, account.pw_uid, account.pw_uid) != 0)
        refuseErrno("switching to " TIMORA_LAUNCH_ACCOUNT);
    if (setresuid(0, 0, 0) == 0 || getuid() != account.pw_uid || geteuid() != account.pw_uid)
        refuse("could not give up root");
    // The credentials changed, which clears any earlier parent-death signal: set it now, and
    // end at once if the parent has already gone.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent)
        std::_Exit(Refused);
    prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0);
    if (chdir(account.pw_dir) != 0)
        refuseErrno(account.pw_dir);

    // A runtime folder of the account's own inside its home, for Qt's sockets and locks.
    const std::string home = account.pw_dir;
    const std::string runtime = home + "/.runtime";
    mkdir(runtime.c_str(), 0700);
    struct stat info
    {};
    const bool runtimeOwned = lstat(runtime.c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
                              info.st_uid == account.pw_uid && (info.st_mode & 077) == 0;

    std::vector<std::string> environment = {
        "HOME=" + home,
        std::string("USER=") + account.pw_name,
        std::string("LOGNAME=") + account.pw_name,
        "SHELL=/bin/sh",
        "PATH=/usr/local/bin:/usr/bin:/bin",
        "DISPLAY=" + display,
        std::string(LauncherProtocol::FdVariable) + "=" + std::to_string(LauncherFd),
    };
    if (runtimeOwned)
        environment.push_back("XDG_RUNTIME_DIR=" + runtime);
#ifdef TIMORA_LAUNCH_FIXED_ENVIRONMENT
    // Test builds only: a fixed setting for the sanitizer build of TimoraDesk.
    environment.push_back(TIMORA_LAUNCH_FIXED_ENVIRONMENT);
#endif
    environment.insert(environment.end(), locale.begin(), locale.end());
    execFixed(TIMORA_LAUNCH_PROGRAM, "timoradesk", environment, 077);
}

// The kiosk account for good, with its own groups; false when that could not be done.
bool becomeKiosk(const Kiosk &kiosk)
{
    return initgroups(kiosk.name.c_str(), kiosk.gid) == 0 &&
           setresgid(kiosk.gid, kiosk.gid, kiosk.gid) == 0 &&
           setresuid(kiosk.uid, kiosk.uid, kiosk.uid) == 0 && setresuid(0, 0, 0) != 0 &&
           getuid() == kiosk.uid;
}

// The caller's X authority file (at most 64 KiB), read with the caller's rights alone, so that the
// launcher reads nothing the caller could not.
std::string readAsCaller(const Kiosk &kiosk, const std::string &path)
{
    int ends[2];
    if (path.empty() || pipe2(ends, O_CLOEXEC) != 0)
        return {};
    const pid_t reader = fork();
    if (reader == 0) {
        if (ends[1] != STDERR_FILENO + 1)
            dup2(ends[1], STDERR_FILENO + 1);
        close_range(STDERR_FILENO + 2, ~0U, 0);
        if (!becomeKiosk(kiosk))
            std::_Exit(1);
        const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        struct stat info
        {};
        if (fd < 0 || fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))
            std::_Exit(1);
        char buffer[65536];
        size_t total = 0;
        ssize_t got;
        while (total < sizeof buffer && (got = read(fd, buffer + total, sizeof buffer - total)) > 0)
            total += static_cast<size_t>(got);
        const bool wrote = write(STDERR_FILENO + 1, buffer, total) == static_cast<ssize_t>(total);
        std::_Exit(wrote ? 0 : 1);
    }
    close(ends[1]);
    std::string text;
    if (reader > 0) {
        char buffer[4096];
        for (;;) {
            pollfd wait{ends[0], POLLIN, 0};
            if (poll(&wait, 1, 5000) <= 0)
                break;
            const ssize_t got = read(ends[0], buffer, sizeof buffer);
            if (got <= 0 || text.size() > 65536)
                break;
            text.append(buffer, static_cast<size_t>(got));
        }
        kill(reader, SIGKILL);
        waitpid(reader, nullptr, 0);
    }
    close(ends[0]);
    return text;
}

// One TimoraDesk at a time on the machine: an exclusive lock on a file of root's, held for the
// launcher's life.
void takeLock()
{
    const std::string path = TIMORA_LAUNCH_LOCK;
    const std::string folder = path.substr(0, path.rfind('/'));
    mkdir(folder.c_str(), 0755);
    struct stat info
    {};
    if (lstat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != 0 ||
        (info.st_mode & 022) != 0) {
        std::fprintf(stderr, "%s: %s must be a folder of root's\n", Name, folder.c_str());
        std::_Exit(Refused);
    }
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        refuseErrno(path.c_str());
    if (flock(fd, LOCK_EX | LOCK_NB) != 0)
        refuse("TimoraDesk runs already on this computer");
}

bool systemdRuns()
{
    struct stat info
    {};
    return lstat("/run/systemd/system", &info) == 0 && S_ISDIR(info.st_mode);
}

// Runs a system program with no input or output and waits for it, at most seconds (then it is
// killed); true when it succeeded.
bool runQuietly(std::vector<std::string> arguments, int seconds = 30)
{
    const pid_t child = fork();
    if (child == 0) {
        const int null = open("/dev/null", O_RDWR);
        dup2(null, STDIN_FILENO);
        dup2(null, STDOUT_FILENO);
        close_range(STDERR_FILENO + 1, ~0U, 0);
        std::vector<char *> argv;
        for (std::string &argument : arguments)
            argv.push_back(argument.data());
        argv.push_back(nullptr);
        std::vector<std::string> environment = {"PATH=/usr/bin:/bin:/usr/sbin:/sbin"};
        std::vector<char *> envp = environmentOf(environment);
        resetSignals();
        execve(argv[0], argv.data(), envp.data());
        std::_Exit(127);
    }
    if (child < 0)
        return false;
    int status = 0;
    for (int waited = 0;; waited += 10) {
        const pid_t done = waitpid(child, &status, WNOHANG);
        if (done == child)
            break;
        if (done < 0 && errno != EINTR)
            return false;
        if (waited >= seconds * 1000) {
            std::fprintf(stderr, "%s: %s did not answer within %d s\n", Name, arguments[0].c_str(),
                         seconds);
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            return false;
        }
        usleep(10000);
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// The launcher, and TimoraDesk after it, leave the kiosk account's logind session for a scope of
// the system's own, so that what is sent to every process of that session (loginctl kill-session,
// which the session's user may run) does not reach them.
void leaveSessionScope(bool systemd)
{
    if (!systemd) {
        std::fprintf(stderr,
                     "%s: systemd does not run here: the launcher and TimoraDesk stay in "
                     "the session's processes\n",
                     Name);
        return;
    }
    const std::string pid = std::to_string(getpid());
    const std::string unit = "timoradesk-launch-" + pid + ".scope";
    const bool asked = runQuietly({"/usr/bin/busctl",
                                   "call",
                                   "--system",
                                   "org.freedesktop.systemd1",
                                   "/org/freedesktop/systemd1",
                                   "org.freedesktop.systemd1.Manager",
                                   "StartTransientUnit",
                                   "ssa(sv)a(sa(sv))",
                                   unit,
                                   "fail",
                                   "3",
                                   "PIDs",
                                   "au",
                                   "1",
                                   pid,
                                   "Slice",
                                   "s",
                                   "system.slice",
                                   "CollectMode",
                                   "s",
                                   "inactive-or-failed",
                                   "0"});
    for (int tries = 0; asked && tries < 50; ++tries) {
        const int fd = open("/proc/self/cgroup", O_RDONLY | O_CLOEXEC);
        char buffer[4096] = {};
        const ssize_t got = fd >= 0 ? read(fd, buffer, sizeof buffer - 1) : -1;
        if (fd >= 0)
            close(fd);
        if (got > 0 && std::strstr(buffer, unit.c_str()))
            return;
        usleep(20000);
    }
    std::fprintf(stderr, "%s: could not leave the session's scope for %s\n", Name, unit.c_str());
}

std::string userManager(uid_t uid)
{
    return "user@" + std::to_string(uid) + ".service";
}

// The kiosk account's user manager, and with it every unit it runs, stops; it may no longer
// linger (a lingering user manager starts at boot, before any session and its set-up). Asked,
// not waited for: while the computer shuts down (a restart at zero), that stop waits for the
// kiosk session's scope to end, and the display manager's process in it waits for this
// launcher. endProcesses ends the user manager's processes anyway.
void stopUserManager(const Kiosk &kiosk, bool systemd)
{
    if (!systemd)
        return;
    const std::string linger = "/var/lib/systemd/linger/" + kiosk.name;
    unlink(linger.c_str());
    runQuietly({"/usr/bin/loginctl", "disable-linger", kiosk.name}, 10);
    runQuietly({"/usr/bin/systemctl", "--no-block", "stop", userManager(kiosk.uid)}, 10);
}

// Every process of the kiosk account ends; false with a line on standard error when one is
// left.
bool endKioskProcesses(const Kiosk &kiosk, bool systemd)
{
    stopUserManager(kiosk, systemd);
    if (KioskCleanup::endProcesses(kiosk.uid, kiosk.gid))
        return true;
    std::fprintf(stderr, "%s: processes of %s are still running\n", Name, kiosk.name.c_str());
    return false;
}

// Every process of the kiosk account ends, its user manager's included, and its home is made
// anew; false with a line on standard error when either could not be done.
bool clearKiosk(const Kiosk &kiosk, bool systemd)
{
    bool ok = endKioskProcesses(kiosk, systemd);
    std::string why, moved;
    const bool reset = KioskCleanup::resetHome(kiosk.home, TIMORA_LAUNCH_SKELETON, kiosk.uid,
                                               kiosk.gid, why, moved);
    if (!moved.empty())
        std::fprintf(stderr,
                     "%s: the home %s could not be emptied: it was moved to %s, which is removed "
                     "at the next reset, and a new home was made\n",
                     Name, kiosk.home.c_str(), moved.c_str());
    if (!reset) {
        std::fprintf(stderr, "%s: %s\n", Name, why.c_str());
        ok = false;
    }
    KioskCleanup::clearShared(kiosk.uid);
    return ok;
}

bool kioskOf(const passwd *entry, Kiosk &kiosk)
{
    if (!entry || entry->pw_uid == 0 || !entry->pw_dir || entry->pw_dir[0] != '/')
        return false;
    kiosk.uid = entry->pw_uid;
    kiosk.gid = entry->pw_gid;
    kiosk.name = entry->pw_name;
    kiosk.home = entry->pw_dir;
    kiosk.shell = entry->pw_shell && entry->pw_shell[0] == '/' ? entry->pw_shell : "/bin/sh";
    return true;
}

// Whether the account is a member of the kiosk group (its own group or a supplementary one).
bool inKioskGroup(const Kiosk &kiosk)
{
    const group *kioskGroup = getgrnam(TIMORA_LAUNCH_GROUP);
    if (!kioskGroup)
        return false;
    int count = 64;
    std::vector<gid_t> groups(static_cast<size_t>(count));
    if (getgrouplist(kiosk.name.c_str(), kiosk.gid, groups.data(), &count) < 0) {
        groups.resize(static_cast<size_t>(count));
        if (getgrouplist(kiosk.name.c_str(), kiosk.gid, groups.data(), &count) < 0)
            return false;
    }
    groups.resize(static_cast<size_t>(count));
    return std::find(groups.begin(), groups.end(), kioskGroup->gr_gid) != groups.end();
}

// For a display manager's session set-up script, run as root before the session starts: the kiosk
// account's processes end and its home is made anew. Any other account is left alone.
[[noreturn]] void cleanHomeFor(const char *user)
{
    Kiosk kiosk;
    if (!kioskOf(getpwnam(user), kiosk) || !inKioskGroup(kiosk))
        std::_Exit(0);
    std::_Exit(clearKiosk(kiosk, systemdRuns()) ? 0 : 1);
}

// The desktop's starter: forked while the launcher is still in the session's scope, so that the
// desktops it starts run there too. It waits as root; for every byte it is sent it starts the
// desktop as the kiosk account, with the display's cookie in a new ~/.Xauthority. It reaps its
// children at once (an ignored SIGCHLD), so that no ended desktop lingers as a zombie.
struct DesktopStart
{
    Kiosk kiosk;
    std::string display, number, cookie;
    std::vector<std::string> environment;
};

[[noreturn]] void runDesktop(const DesktopStart &start)
{
    close_range(STDERR_FILENO + 1, ~0U, 0);
    setsid();
    if (!becomeKiosk(start.kiosk)) {
        std::fprintf(stderr, "%s: could not become %s for the desktop\n", Name,
                     start.kiosk.name.c_str());
        std::_Exit(1);
    }
    if (chdir(start.kiosk.home.c_str()) != 0)
        std::_Exit(1);
    std::vector<std::string> environment = start.environment;
    if (!start.cookie.empty()) {
        char host[256] = {};
        gethostname(host, sizeof host - 1);
        const std::string path = start.kiosk.home + "/.Xauthority";
        const std::string authority = XServerAccess::authorityFor(host, start.number, start.cookie);
        const int fd =
            open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd >= 0 &&
            write(fd, authority.data(), authority.size()) == static_cast<ssize_t>(authority.size()))
            environment.push_back("XAUTHORITY=" + path);
        if (fd >= 0)
            close(fd);
    }
    execFixed(TIMORA_LAUNCH_DESKTOP, "timoradesk-desktop", environment, 022);
}

[[noreturn]] void desktopStarter(int go, const DesktopStart &start)
{
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    std::signal(SIGCHLD, SIG_IGN);
    for (;;) {
        char byte = 0;
        const ssize_t got = read(go, &byte, 1);
        if (got < 0 && errno == EINTR)
            continue;
        if (got != 1)
            std::_Exit(0);
        const pid_t desktop = fork();
        if (desktop == 0) {
            close(go);
            runDesktop(start);
        }
        if (desktop < 0)
            std::fprintf(stderr, "%s: the desktop could not start: %s\n", Name,
                         std::strerror(errno));
    }
}

// The kiosk account's user manager started anew for an ordinary user's session, from the home
// just made: its units are only those of the skeleton and the system.
void startUserManager(const Kiosk &kiosk, bool systemd)
{
    if (systemd && !runQuietly({"/usr/bin/systemctl", "start", userManager(kiosk.uid)}, 20))
        std::fprintf(stderr, "%s: the user manager of %s did not start\n", Name,
                     kiosk.name.c_str());
}

// One run of TimoraDesk, from its start to its end.
struct Run
{
    int status = 0;
    // TimoraDesk is to be started again: its power action was refused, or the launcher ended a
    // session that TimoraDesk did not end in time.
    bool again = false;
    // The display manager ended the session (a signal reached the launcher).
    bool told = false;
};

// What the launcher keeps for the X session's whole life.
struct Launcher
{
    Kiosk kiosk;
    passwd account{};
    std::string display;
    std::vector<std::string> locale;
    bool systemd = false;
    int signals = -1, deadline = -1, connection = -1, desktop = -1;
};

// Starts TimoraDesk as its account and serves it until it ends: starts the desktop and sets the
// deadline when an ordinary session starts, ends the kiosk account's programs (and then answers)
// when it ends, passes the display manager's signals on, and ends the session itself when
// TimoraDesk has not done so a few seconds past its last minute.
Run serve(Launcher &launcher)
{
    Run run;
    int sockets[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sockets) != 0)
        refuseErrno("socketpair");
    const pid_t parent = getpid();
    childPid = fork();
    if (childPid < 0)
        refuseErrno("fork");
    if (childPid == 0)
        becomeAccountAndRun(launcher.account, launcher.display, launcher.locale, parent,
                            sockets[1]);
    close(sockets[1]);
    int socket = sockets[0];
    const itimerspec never{};
    timerfd_settime(launcher.deadline, 0, &never, nullptr);
    bool desktopStarted = false, deadlineSet = false, ended = false;
    LauncherProtocol::LineReader lines;
    const auto answer = [&socket](const char *text) {
        const std::string line = std::string(text) + "\n";
        if (socket >= 0)
            send(socket, line.data(), line.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    };
    while (!ended) {
        pollfd waits[4] = {{launcher.signals, POLLIN, 0},
                           {launcher.deadline, POLLIN, 0},
                           {socket, POLLIN, 0},
                           {launcher.connection, POLLIN, 0}};
        if (poll(waits, 4, -1) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (waits[0].revents & POLLIN) {
            signalfd_siginfo info{};
            if (read(launcher.signals, &info, sizeof info) == sizeof info &&
                static_cast<int>(info.ssi_signo) != SIGCHLD) {
                run.told = true;
                kill(childPid, static_cast<int>(info.ssi_signo));
            }
            pid_t pid;
            int childStatus = 0;
            while ((pid = waitpid(-1, &childStatus, WNOHANG)) > 0) {
                if (pid == childPid) {
                    run.status = childStatus;
                    ended = true;
                }
            }
        }
        if (waits[1].revents & POLLIN) {
            uint64_t expirations = 0;
            if (read(launcher.deadline, &expirations, sizeof expirations) > 0 && !ended) {
                std::fprintf(stderr,
                             "%s: the session's minutes ran out %d s ago and TimoraDesk has not "
                             "ended it: the launcher ends it, and the rest of the day is "
                             "forfeited\n",
                             Name, GraceSeconds);
                kill(childPid, SIGKILL);
                endKioskProcesses(launcher.kiosk, launcher.systemd);
                run.again = true;
            }
        }
        if (waits[2].revents & (POLLIN | POLLHUP | POLLERR)) {
            char buffer[256];
            const ssize_t got = read(socket, buffer, sizeof buffer);
            if (got <= 0) {
                close(socket);
                socket = -1;
                continue;
            }
            lines.take(buffer, static_cast<size_t>(got), [&](const std::string &line) {
                const LauncherProtocol::Message message = LauncherProtocol::parse(line);
                switch (message.kind) {
                case LauncherProtocol::Message::Kind::Session:
                    if (!desktopStarted) {
                        desktopStarted = true;
                        // Nothing of the account from before the logon goes on into the session
                        // (its user manager was stopped when the launcher started).
                        if (!KioskCleanup::endProcesses(launcher.kiosk.uid, launcher.kiosk.gid)) {
                            std::fprintf(stderr, "%s: the desktop is not started\n", Name);
                            break;
                        }
                        startUserManager(launcher.kiosk, launcher.systemd);
                        const char start = 'D';
                        if (write(launcher.desktop, &start, 1) != 1)
                            std::fprintf(stderr, "%s: the desktop could not start\n", Name);
                    }
                    if (message.minutes >= 0 && !deadlineSet && message.minutes <= 24 * 60) {
                        deadlineSet = true;
                        itimerspec when{};
                        when.it_value.tv_sec =
                            static_cast<time_t>(message.minutes) * 60 + GraceSeconds;
                        timerfd_settime(launcher.deadline, 0, &when, nullptr);
                    }
                    break;
                case LauncherProtocol::Message::Kind::End:
                    // The session is over: no deadline any more. TimoraDesk asks for the power
                    // action only once the kiosk account runs nothing that could hold it back.
                    timerfd_settime(launcher.deadline, 0, &never, nullptr);
                    answer(endKioskProcesses(launcher.kiosk, launcher.systemd)
                               ? LauncherProtocol::Ended
                               : LauncherProtocol::Unclean);
                    break;
                case LauncherProtocol::Message::Kind::Again:
                    run.again = true;
                    break;
                case LauncherProtocol::Message::Kind::Unknown:
                    break;
                }
            });
        }
        if (waits[3].revents & (POLLIN | POLLHUP | POLLERR)) {
            // The server sends nothing unasked on this connection; its end is the X session's.
            char buffer[256];
            if (read(launcher.connection, buffer, sizeof buffer) <= 0) {
                close(launcher.connection);
                launcher.connection = -1;
            }
        }
    }
    if (socket >= 0)
        close(socket);
    timerfd_settime(launcher.deadline, 0, &never, nullptr);
    return run;
}

} // namespace

int main(int argc, char **argv)
{
    // Nothing is written with the caller's umask, and no signal interrupts the start half done.
    umask(077);
    sigset_t all;
    sigfillset(&all);
    sigprocmask(SIG_BLOCK, &all, nullptr);
    // The caller's dispositions go too: an ignored SIGCHLD would lose TimoraDesk's exit status.
    for (int number = 1; number < NSIG; ++number) {
        if (number != SIGKILL && number != SIGSTOP)
            std::signal(number, SIG_DFL);
    }

    const uid_t callerUid = getuid();
    const gid_t callerGid = getgid();
    if (geteuid() != 0)
        refuse("must be installed setuid root");
    // Root in every user id at once: from here on the caller can no longer signal, stop or trace
    // this process.
    if (setresuid(0, 0, 0) != 0 || setresgid(0, 0, 0) != 0)
        refuseErrno("setresuid");
    if (argc == 3 && callerUid == 0 && std::strcmp(argv[1], "--clean-home") == 0)
        cleanHomeFor(argv[2]);
    if (argc > 1)
        refuse("takes no arguments");
    if (!callerInGroup(callerGid))
        refuse("only members of the group " TIMORA_LAUNCH_GROUP " may start TimoraDesk");
    Kiosk kiosk;
    if (callerUid == 0 || !kioskOf(getpwuid(callerUid), kiosk))
        refuse("the caller must be an ordinary account with a home");

    const char *display = getenv("DISPLAY");
    if (!isLocalDisplay(display))
        refuse("DISPLAY must name a local display, :N or :N.S");
    const std::string displayName = display;
    const std::string number = displayName.substr(1, displayName.find('.') - 1);

    const passwd *entry = getpwnam(TIMORA_LAUNCH_ACCOUNT);
    if (!entry || entry->pw_uid == 0 || entry->pw_gid == 0)
        refuse("the account " TIMORA_LAUNCH_ACCOUNT " is missing or is root");
    // getpwnam's buffer is reused by later look-ups: keep a copy.
    const std::string accountName = entry->pw_name, homePath = entry->pw_dir;
    passwd account = *entry;
    account.pw_name = const_cast<char *>(accountName.c_str());
    account.pw_dir = const_cast<char *>(homePath.c_str());
    checkHome(account);
    const std::vector<std::string> locale = systemLocale();

    DesktopStart desktop;
    desktop.kiosk = kiosk;
    desktop.display = displayName;
    desktop.number = number;
    desktop.environment = {"HOME=" + kiosk.home,
                           "USER=" + kiosk.name,
                           "LOGNAME=" + kiosk.name,
                           "SHELL=" + kiosk.shell,
                           "PATH=/usr/local/bin:/usr/bin:/bin:/usr/local/games:/usr/games",
                           "DISPLAY=" + displayName};
    desktop.environment.insert(desktop.environment.end(), locale.begin(), locale.end());
    for (const char *name : DesktopVariables) {
        const char *value = getenv(name);
        if (value && std::strlen(value) < 4096 && !std::strchr(value, '\n'))
            desktop.environment.push_back(std::string(name) + "=" + value);
    }
    const char *authority = getenv("XAUTHORITY");
    const std::string authorityPath =
        authority && authority[0] == '/' ? std::string(authority) : kiosk.home + "/.Xauthority";

    clearenv();
    closeInheritedFiles();
    resetLimits();
    takeLock();

    // Only the X server of the seat: one that root runs, as the display manager's does.
    std::string why;
    const long owner = XServerAccess::serverOwner(number, why);
    if (owner < 0)
        refuse(why.c_str());
    if (owner != 0)
        refuse("the X server of this display is not root's: TimoraDesk runs only on the display "
               "manager's");
    desktop.cookie = XServerAccess::cookieFromAuthority(readAsCaller(kiosk, authorityPath), number);
    if (setsid() < 0 && errno != EPERM)
        refuseErrno("setsid");

    // Nothing of an earlier session of the kiosk account is left, and its home is the skeleton.
    const bool systemd = systemdRuns();
    if (!clearKiosk(kiosk, systemd))
        refuse("the kiosk account could not be made ready for a session");
    // TimoraDesk's account may use the display through the launcher's own connection, which stays
    // open so that the server keeps that grant (it forgets it when its last client has gone).
    // (An X server that has just started, or is resetting as its last client went, may not
    // answer at once: a few tries.)
    int xConnection = -1;
    for (int tries = 0; tries < 5 && xConnection < 0; ++tries) {
        if (tries > 0)
            sleep(1);
        xConnection = XServerAccess::grantLocalUser(number, desktop.cookie, accountName, why);
    }
    if (xConnection < 0)
        refuse(why.c_str());

    int go[2];
    if (pipe2(go, O_CLOEXEC) != 0)
        refuseErrno("pipe");
    const pid_t starter = fork();
    if (starter < 0)
        refuseErrno("fork");
    if (starter == 0) {
        close(go[1]);
        desktopStarter(go[0], desktop);
    }
    close(go[0]);
    leaveSessionScope(systemd);

    // The parent: runs TimoraDesk, again when it asks to be, and ends with it.
    for (int ignored : {SIGTSTP, SIGTTIN, SIGTTOU, SIGPIPE})
        std::signal(ignored, SIG_IGN);
    sigset_t watched;
    sigemptyset(&watched);
    for (int watchedSignal : {SIGCHLD, SIGTERM, SIGHUP, SIGINT})
        sigaddset(&watched, watchedSignal);
    Launcher launcher;
    launcher.kiosk = kiosk;
    launcher.account = account;
    launcher.display = displayName;
    launcher.locale = locale;
    launcher.systemd = systemd;
    launcher.signals = signalfd(-1, &watched, SFD_CLOEXEC);
    launcher.deadline = timerfd_create(CLOCK_MONOTONIC, TFD_CLOEXEC);
    launcher.connection = xConnection;
    launcher.desktop = go[1];
    if (launcher.signals < 0 || launcher.deadline < 0)
        refuseErrno("signalfd");
    Run run;
    for (int starts = 1;; ++starts) {
        run = serve(launcher);
        const bool clean = clearKiosk(kiosk, systemd);
        if (!run.again || run.told || launcher.connection < 0)
            break;
        if (!clean) {
            std::fprintf(stderr,
                         "%s: something of %s still runs after the session's end: TimoraDesk is "
                         "not started again\n",
                         Name, kiosk.name.c_str());
            break;
        }
        if (starts >= MaxStarts) {
            std::fprintf(stderr, "%s: TimoraDesk was started %d times: not again\n", Name, starts);
            break;
        }
        std::fprintf(stderr, "%s: TimoraDesk starts again, with the logon window\n", Name);
    }
    close(go[1]);
    if (launcher.connection >= 0)
        close(launcher.connection);
    if (WIFEXITED(run.status))
        return WEXITSTATUS(run.status);
    return 128 + WTERMSIG(run.status);
}
