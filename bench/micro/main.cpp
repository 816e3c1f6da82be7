// Times the program's small hot paths in microseconds, median over many runs: SaveAccounts and
// LoadAccounts with ten accounts through the settings file and, when a display is named by
// $DISPLAY, one tick of the foreground guard through the X11 window system (its X round trips
// included), once with our own logon window in front and once with a foreign window in front
// that the guard asks to close, and the Linux disabler turning its switches on (what the logon
// window does when it first shows) and off again.
// Usage: bench_micro [--runs N] [--folder DIR]   (DIR: where the settings file is written;
// by default a fresh folder under the current one, so on the disk the program would use)
#include "core/linux/LinuxDisabler.h"
#include "core/linux/X11WindowSystem.h"
#include "core/rules/AccountTable.h"
#include "core/rules/FileAccountStore.h"
#include "core/services/ForegroundGuard.h"
#include "core/services/SimulatedPowerBackend.h"
#include "core/settings/IniSettingsStore.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QElapsedTimer>
#include <QStringList>
#include <QTemporaryDir>
#include <QWidget>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

namespace {

struct Timing
{
    double median = 0;
    double p90 = 0;
    double min = 0;
};

Timing timeRuns(int runs, const std::function<void()> &work)
{
    std::vector<double> us;
    us.reserve(size_t(runs));
    QElapsedTimer timer;
    for (int i = 0; i < runs; ++i) {
        timer.start();
        work();
        us.push_back(double(timer.nsecsElapsed()) / 1000.0);
    }
    std::sort(us.begin(), us.end());
    return {us[us.size() / 2], us[us.size() * 9 / 10], us.front()};
}

void fillTenAccounts(AccountTable &table)
{
    table.reset();
    QList<AccountSlot> accounts{
        {AccountTable::AdminId, QStringLiteral("SECRET"), -1, QStringLiteral("12/8/2026"), -1}};
    for (int n = 2; n <= AccountTable::MaxAccounts; ++n)
        accounts.append({QStringLiteral("CHILD%1").arg(n), QStringLiteral("PASSWORD%1").arg(n), 90,
                         QStringLiteral("12/8/2026"), 45});
    table.setAccounts(accounts);
}

void print(const char *name, const Timing &t)
{
    std::printf("%s_us_median=%.1f %s_us_p90=%.1f %s_us_min=%.1f\n", name, t.median, name, t.p90,
                name, t.min);
}

// A window that stays open whatever it is asked, as a foreign program may.
class StubbornWindow : public QWidget
{
protected:
    void closeEvent(QCloseEvent *event) override { event->ignore(); }
};

// Shows a window with the given title and waits until the window manager puts it in front.
bool bringToFront(QWidget &window, const QString &title, X11WindowSystem &windows)
{
    window.setWindowTitle(title);
    window.resize(300, 100);
    window.show();
    window.raise();
    window.activateWindow();
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 5000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        const auto front = windows.foregroundWindow();
        if (front != WindowSystem::NoWindow && windows.titleOf(front) == title)
            return true;
    }
    return false;
}

int timeGuard(int runs)
{
    X11WindowSystem windows;
    if (!windows.connected()) {
        std::fprintf(stderr, "no X display: the guard tick is not timed\n");
        return 1;
    }
    ForegroundGuard guard(windows);
    QWidget logon;
    if (!bringToFront(logon, QStringLiteral("System Logon"), windows)) {
        std::fprintf(stderr, "the logon window did not come to the front\n");
        return 1;
    }
    print("guard_tick_allowed", timeRuns(runs, [&] {
              if (guard.tick())
                  std::fprintf(stderr, "the guard closed its own logon window\n");
          }));
    StubbornWindow intruder;
    if (!bringToFront(intruder, QStringLiteral("Intruder"), windows)) {
        std::fprintf(stderr, "the foreign window did not come to the front\n");
        return 1;
    }
    int closeRequests = 0;
    print("guard_tick_closing", timeRuns(runs, [&] { closeRequests += guard.tick() ? 1 : 0; }));
    if (closeRequests != runs) {
        std::fprintf(stderr, "the guard asked %d of %d times\n", closeRequests, runs);
        return 1;
    }

    // Each switch costs X round trips and connections: fewer runs.
    std::FILE *quiet = std::fopen("/dev/null", "w");
    LinuxDisabler disabler(std::make_unique<SimulatedPowerBackend>(quiet), quiet);
    const int switchRuns = std::max(1, runs / 20);
    std::vector<double> on, off;
    QElapsedTimer timer;
    for (int i = 0; i < switchRuns; ++i) {
        timer.start();
        disabler.setSwitches(true);
        on.push_back(double(timer.nsecsElapsed()) / 1000.0);
        timer.start();
        disabler.setSwitches(false);
        off.push_back(double(timer.nsecsElapsed()) / 1000.0);
    }
    std::sort(on.begin(), on.end());
    std::sort(off.begin(), off.end());
    print("disabler_on", {on[on.size() / 2], on[on.size() * 9 / 10], on.front()});
    print("disabler_off", {off[off.size() / 2], off[off.size() * 9 / 10], off.front()});
    std::fclose(quiet);
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    // Without a display the program only times the settings file.
    const bool display = !qEnvironmentVariableIsEmpty("DISPLAY");
    std::unique_ptr<QCoreApplication> app;
    if (display)
        app = std::make_unique<QApplication>(argc, argv);
    else
        app = std::make_unique<QCoreApplication>(argc, argv);
    int runs = 500;
    QString folder;
    const QStringList args = QCoreApplication::arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--runs") && i + 1 < args.size())
            runs = args[++i].toInt();
        else if (args[i] == QLatin1String("--folder") && i + 1 < args.size())
            folder = args[++i];
    }
    QTemporaryDir own(QDir::currentPath() + QStringLiteral("/bench-micro-XXXXXX"));
    if (folder.isEmpty())
        folder = own.path();

    IniSettingsStore store(folder + QStringLiteral("/TimoraV2/TimoraV2.ini"));
    FileAccountStore file(store);
    AccountTable table;
    table.setStore(&file);
    fillTenAccounts(table);
    table.SaveAccounts();

    print("save", timeRuns(runs, [&] { table.SaveAccounts(); }));
    print("load", timeRuns(runs, [&] {
              table.reset();
              table.LoadAccounts();
          }));
    if (table.count() != AccountTable::MaxAccounts) {
        std::fprintf(stderr, "the ten accounts did not load back\n");
        return 1;
    }
    return display ? timeGuard(runs) : 0;
}
