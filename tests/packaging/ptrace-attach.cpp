// ptrace-attach PID: tries to attach to PID as a debugger would, and detaches again at once.
// Prints the outcome; exits 0 when attached, 1 when refused, 2 on wrong use.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <sys/ptrace.h>
#include <sys/wait.h>

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: ptrace-attach PID\n");
        return 2;
    }
    const pid_t pid = static_cast<pid_t>(std::atol(argv[1]));
    if (ptrace(PTRACE_ATTACH, pid, nullptr, nullptr) != 0) {
        std::printf("ptrace-attach: %s\n", std::strerror(errno));
        return 1;
    }
    waitpid(pid, nullptr, 0);
    ptrace(PTRACE_DETACH, pid, nullptr, nullptr);
    std::printf("ptrace-attach: attached\n");
    return 0;
}
