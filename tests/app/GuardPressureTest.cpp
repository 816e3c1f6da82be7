#include "core/linux/X11WindowSystem.h"
#include "tests/support/ForeignClient.h"
#include "tests/support/X11Display.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <memory>
#include <vector>

namespace {

// Resident size of a process in KiB, from /proc.
long residentKb(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').constFirst().toLong();
    }
    return -1;
}

// The real program at its logon, with a settings folder of its own, while another program
// opens a new window every 200 ms for 30 seconds and pushes each one to the front.
TEST(GuardUnderPressure, NoForeignWindowStaysInFrontAndTheGuardsMemoryStaysFlat)
{
    SKIP_WITHOUT_X11_DISPLAY();
    QTemporaryDir config;
    QProcess program;
    QProcessEnvironment environment = X11Display::programEnvironment(config.path());
    // Freed memory is reused at once, so that the resident size shows what is really held.
    environment.insert(QStringLiteral("ASAN_OPTIONS"),
                       QStringLiteral("detect_leaks=0:quarantine_size_mb=0"));
    program.setProcessEnvironment(environment);
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    program.start(QStringLiteral(TIMORADESK_EXECUTABLE), {});
    ASSERT_TRUE(program.waitForStarted());

    X11WindowSystem windows(X11Display::name());
    const auto logonInFront = [&] {
        return X11Display::titleInFront(windows) == QStringLiteral("System Logon");
    };
    ASSERT_TRUE(X11Display::waitUntil(logonInFront, 15000)) << "the logon window did not come up";
    X11Display::spin(2500);

    std::vector<std::unique_ptr<ForeignClient>> flood;
    std::map<WindowSystem::WindowId, qint64> inFrontSince;
    WindowSystem::WindowId front = WindowSystem::NoWindow;
    qint64 longestInFront = 0;
    QString longestTitle;
    int closed = 0;
    QElapsedTimer clock;
    clock.start();

    // Reads what the flood's windows were sent and looks at which window is in front.
    const auto watch = [&] {
        for (auto it = flood.begin(); it != flood.end();) {
            (*it)->poll();
            if ((*it)->closed()) {
                closed += (*it)->askedToClose() ? 1 : 0;
                it = flood.erase(it);
            } else {
                ++it;
            }
        }
        const auto now = windows.foregroundWindow();
        if (now != front) {
            front = now;
            inFrontSince[now] = clock.elapsed();
        }
        for (const auto &client : flood) {
            if (client->window() == front) {
                const qint64 shownFor = clock.elapsed() - inFrontSince[front];
                if (shownFor > longestInFront) {
                    longestInFront = shownFor;
                    longestTitle = windows.titleOf(front).value_or(QString());
                }
            }
        }
    };

    const long memoryBefore = residentKb(program.processId());
    int opened = 0;
    while (clock.elapsed() < 30000) {
        auto client = std::make_unique<ForeignClient>(
            X11Display::name(),
            ForeignClient::Options{.title = QStringLiteral("Pop-up %1").arg(++opened)});
        client->map();
        client->activate();
        flood.push_back(std::move(client));
        const qint64 next = qint64(opened) * 200;
        X11Display::waitUntil([&] { return clock.elapsed() >= next; }, 1000, watch);
    }
    // The windows left behind come to the front one after the other once the flood stops.
    X11Display::spin(5000, watch);
    const long memoryAfter = residentKb(program.processId());

    std::printf("%d windows opened, %d closed by the guard, longest in front %lld ms, "
                "program %ld KiB before and %ld KiB after\n",
                opened, closed, static_cast<long long>(longestInFront), memoryBefore, memoryAfter);
    EXPECT_EQ(program.state(), QProcess::Running) << "the program ended under the flood";
    EXPECT_LT(longestInFront, 2500) << qPrintable(longestTitle) << " stayed in front";
    // One close a tick for 35 seconds: well over ten.
    EXPECT_GE(closed, 10) << "of " << opened << " windows opened";
    ASSERT_GT(memoryBefore, 0);
    EXPECT_LT(memoryAfter - memoryBefore, 2048)
        << "the program grew from " << memoryBefore << " KiB to " << memoryAfter << " KiB";

    flood.clear();
    // Told to end, the program gives the keyboard map back.
    program.terminate();
    if (!program.waitForFinished(20000))
        program.kill();
}

} // namespace
