#include "KilledSaver.h"

#include <QRandomGenerator>

#include <chrono>
#include <csignal>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

bool runAndKillAtRandom(const QByteArray &program, const QByteArrayList &arguments)
{
    int ready[2];
    if (::pipe(ready) != 0)
        return false;
    std::vector<char *> argv{const_cast<char *>(program.constData())};
    for (const QByteArray &argument : arguments)
        argv.push_back(const_cast<char *>(argument.constData()));
    argv.push_back(nullptr);
    const pid_t child = ::fork();
    if (child < 0)
        return false;
    if (child == 0) {
        ::dup2(ready[1], STDOUT_FILENO);
        ::execv(program.constData(), argv.data());
        ::_exit(127);
    }
    ::close(ready[1]);
    char buffer[8] = {};
    const bool started = ::read(ready[0], buffer, sizeof buffer) > 0;
    ::close(ready[0]);
    if (started) {
        const int delayUs = QRandomGenerator::global()->bounded(200, 30000);
        std::this_thread::sleep_for(std::chrono::microseconds(delayUs));
    }
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    return started && WIFSIGNALED(status);
}
