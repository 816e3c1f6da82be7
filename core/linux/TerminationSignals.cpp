#include "TerminationSignals.h"

#include <QCoreApplication>
#include <QList>
#include <QSocketNotifier>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>
#include <utility>

namespace {

constexpr int Watched[] = {SIGTERM, SIGINT, SIGHUP};

int s_pipe[2] = {-1, -1};
QList<std::pair<const void *, std::function<void()>>> s_cleanUps;

void onSignal(int number)
{
    // Only this is safe inside a signal handler; the rest happens in the event loop.
    const unsigned char byte = static_cast<unsigned char>(number);
    const ssize_t written = ::write(s_pipe[1], &byte, 1);
    (void)written;
}

void endBySignal()
{
    unsigned char number = 0;
    if (::read(s_pipe[0], &number, 1) != 1)
        return;
    const auto cleanUps = s_cleanUps;
    for (const auto &entry : cleanUps)
        entry.second();
    std::signal(number, SIG_DFL);
    std::raise(number);
}

void watch()
{
    if (s_pipe[0] >= 0 || !QCoreApplication::instance())
        return;
    if (::pipe2(s_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        s_pipe[0] = s_pipe[1] = -1;
        return;
    }
    auto *notifier =
        new QSocketNotifier(s_pipe[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [] { endBySignal(); });
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int number : Watched)
        sigaction(number, &action, nullptr);
}

} // namespace

void TerminationSignals::add(const void *owner, std::function<void()> cleanUp)
{
    watch();
    s_cleanUps.append({owner, std::move(cleanUp)});
}

void TerminationSignals::remove(const void *owner)
{
    s_cleanUps.removeIf([owner](const auto &entry) { return entry.first == owner; });
}
