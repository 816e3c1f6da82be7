// What a kiosk user who runs code leaves behind to outlive the session, for the launcher's tests:
//
//   kiosk-leftover zombie-leader FILE   the first thread ends with the thread-exit system call
//                                       while a second runs on, writing its count into FILE:
//                                       the process shows as a zombie and is not one
//   kiosk-leftover fork-chain N         N chains of processes that each fork and end at once
//   kiosk-leftover fill FOLDER          makes files in FOLDER (its working folder) as fast as it
//                                       can, and folders in them
//
// Each starts in the background (the command returns at once) and runs until it is killed.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

const char *heartbeat = nullptr;

void *beat(void *)
{
    for (unsigned long count = 0;; ++count) {
        const int fd = open(heartbeat, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd >= 0) {
            const std::string text = std::to_string(count) + "\n";
            if (write(fd, text.data(), text.size()) < 0)
                std::perror("write");
            close(fd);
        }
        usleep(50000);
    }
    return nullptr;
}

[[noreturn]] void zombieLeader(const char *file)
{
    heartbeat = file;
    pthread_t thread;
    if (pthread_create(&thread, nullptr, beat, nullptr) != 0)
        std::_Exit(1);
    // Only this thread ends: the process lives on in the other one.
    syscall(SYS_exit, 0);
    std::_Exit(1);
}

[[noreturn]] void forkChain()
{
    for (;;) {
        const pid_t child = fork();
        if (child > 0)
            std::_Exit(0);
        if (child < 0)
            usleep(1000);
    }
}

[[noreturn]] void fill(const char *folder)
{
    if (chdir(folder) != 0)
        std::_Exit(1);
    for (unsigned long count = 0;; ++count) {
        const std::string name = "f" + std::to_string(count);
        if (count % 64 == 0) {
            mkdir(name.c_str(), 0755);
            continue;
        }
        const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        if (fd >= 0)
            close(fd);
    }
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s zombie-leader FILE | fork-chain N | fill FOLDER\n",
                     argv[0]);
        return 2;
    }
    const std::string mode = argv[1];
    const int chains = mode == "fork-chain" ? std::atoi(argv[2]) : 1;
    for (int i = 0; i < chains; ++i) {
        const pid_t child = fork();
        if (child < 0)
            return 1;
        if (child > 0)
            continue;
        setsid();
        const int null = open("/dev/null", O_RDWR);
        dup2(null, STDIN_FILENO);
        dup2(null, STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
        if (mode == "zombie-leader")
            zombieLeader(argv[2]);
        if (mode == "fork-chain")
            forkChain();
        if (mode == "fill")
            fill(argv[2]);
        std::_Exit(2);
    }
    return 0;
}
