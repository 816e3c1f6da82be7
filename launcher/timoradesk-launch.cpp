// timoradesk-launch: starts TimoraDesk under its own system account on the caller's X display.
//
// Installed setuid root and executable only by the kiosk group. It runs one fixed program as one
// fixed account; of the caller it takes nothing but the display number, which it checks. The
// account, the group and the program are fixed when it is built. It stays as a small root
// process that waits for TimoraDesk and ends with it, with TimoraDesk's exit status, so that the
// X session (whose leading process it is) ends when TimoraDesk ends for whatever reason, and no
// program of the kiosk account can stop, signal or trace either of them.
//
// Usage: timoradesk-launch   (no arguments; DISPLAY=:N or :N.S in the environment)

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

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

namespace {

constexpr const char *Name = "timoradesk-launch";
constexpr int Refused = 126;

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

// The caller's resource limits go as well: TimoraDesk gets the system's own (those of process 1),
// and no core dumps, which would hold the passwords.
void resetLimits()
{
    for (int resource = 0; resource < RLIMIT_NLIMITS; ++resource) {
        const auto which = static_cast<__rlimit_resource>(resource);
        rlimit system{};
        if (prlimit(1, which, nullptr, &system) != 0)
            continue;
        // Without the right to raise a hard limit, as much as the caller's hard limit allows.
        if (setrlimit(which, &system) != 0) {
            rlimit own{};
            getrlimit(which, &own);
            own.rlim_cur = std::min(system.rlim_cur, own.rlim_max);
            setrlimit(which, &own);
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

// Runs in the child: becomes the account for good and replaces itself with TimoraDesk.
[[noreturn]] void becomeAccountAndRun(const passwd &account, const std::string &display,
                                      const std::vector<std::string> &locale, pid_t parent)
{
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
    };
    if (runtimeOwned)
        environment.push_back("XDG_RUNTIME_DIR=" + runtime);
#ifdef TIMORA_LAUNCH_FIXED_ENVIRONMENT
    // Test builds only: a fixed setting for the sanitizer build of TimoraDesk.
    environment.push_back(TIMORA_LAUNCH_FIXED_ENVIRONMENT);
#endif
    environment.insert(environment.end(), locale.begin(), locale.end());
    std::vector<char *> envp;
    for (std::string &entry : environment)
        envp.push_back(entry.data());
    envp.push_back(nullptr);

    char programName[] = "timoradesk";
    char *argv[] = {programName, nullptr};
    umask(077);
    resetSignals();
    execve(TIMORA_LAUNCH_PROGRAM, argv, envp.data());
    refuseErrno(TIMORA_LAUNCH_PROGRAM);
}

// The display manager ends the session with SIGTERM or SIGHUP: pass it on to TimoraDesk.
void forwardSignal(int number)
{
    if (childPid > 0)
        kill(childPid, number);
}

} // namespace

int main(int argc, char **)
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

    const gid_t callerGid = getgid();
    if (geteuid() != 0)
        refuse("must be installed setuid root");
    // Root in every user id at once: from here on the caller can no longer signal, stop or trace
    // this process.
    if (setresuid(0, 0, 0) != 0 || setresgid(0, 0, 0) != 0)
        refuseErrno("setresuid");
    if (argc > 1)
        refuse("takes no arguments");
    if (!callerInGroup(callerGid))
        refuse("only members of the group " TIMORA_LAUNCH_GROUP " may start TimoraDesk");

    const char *display = getenv("DISPLAY");
    if (!isLocalDisplay(display))
        refuse("DISPLAY must name a local display, :N or :N.S");
    const std::string displayName = display;

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

    clearenv();
    closeInheritedFiles();
    resetLimits();
    if (setsid() < 0 && errno != EPERM)
        refuseErrno("setsid");

    const pid_t parent = getpid();
    childPid = fork();
    if (childPid < 0)
        refuseErrno("fork");
    if (childPid == 0)
        becomeAccountAndRun(account, displayName, locale, parent);

    // The parent: forwards the session's end to TimoraDesk and ends with it.
    struct sigaction forward
    {};
    forward.sa_handler = forwardSignal;
    sigfillset(&forward.sa_mask);
    for (int number : {SIGTERM, SIGHUP, SIGINT})
        sigaction(number, &forward, nullptr);
    for (int number : {SIGTSTP, SIGTTIN, SIGTTOU, SIGPIPE})
        std::signal(number, SIG_IGN);
    sigset_t forwarded;
    sigemptyset(&forwarded);
    for (int number : {SIGTERM, SIGHUP, SIGINT})
        sigaddset(&forwarded, number);
    sigprocmask(SIG_UNBLOCK, &forwarded, nullptr);

    int status = 0;
    while (waitpid(childPid, &status, 0) < 0) {
        if (errno != EINTR)
            return Refused;
    }
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    return 128 + WTERMSIG(status);
}
