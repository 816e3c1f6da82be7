#include "app/ProgramFlow.h"
#include "app/ReadyProbe.h"
#include "core/linux/LauncherSocket.h"
#include "core/linux/LinuxDisabler.h"
#include "core/linux/LogindPowerBackend.h"
#include "core/linux/SessionBusFallback.h"
#include "core/linux/SignalTerminationWatch.h"
#include "core/linux/TimerFdClockSource.h"
#include "core/linux/X11WindowSystem.h"
#include "core/rules/AccountTable.h"
#include "core/rules/AppError.h"
#include "core/rules/FileAccountStore.h"
#include "core/services/ImmediateProgramEnd.h"
#include "core/services/QtProgramStarter.h"
#include "core/services/Services.h"
#include "core/services/SessionDeadlineWatch.h"
#include "core/services/SimulatedPowerBackend.h"
#include "core/services/SystemToday.h"
#include "core/settings/IniRegistry.h"
#include "core/settings/IniSettingsStore.h"
#include "core/widgets/AppIcon.h"
#include "core/widgets/CursorBlinkLimit.h"
#include "core/widgets/FirstFrame.h"
#include "core/widgets/ProgramStyle.h"
#include "core/widgets/QtMessageBoxes.h"
#include "core/widgets/QtTrayIcon.h"
#include "logon/frmLogon.h"
#include "room/PostgresAccountStore.h"
#include "room/RoomJournalDelivery.h"

#include <QApplication>
#include <QFileInfo>
#include <QLineEdit>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

namespace {

// Restart and shut-down: logind's, or in the simulated build one that only says what it would do.
std::unique_ptr<PowerBackend> makePowerBackend()
{
#ifdef TIMORA_SIMULATE_POWER
    return std::make_unique<SimulatedPowerBackend>();
#else
    return std::make_unique<LogindPowerBackend>();
#endif
}

// The session end's last resort, set once before the session's deadline can run: the same
// hand-over as the session's own end, with a power backend of its own, since the window thread
// that holds the session's may be the one held up.
SessionEnd overdueEnd;

// A session past its last minute that its window has not ended (its thread held up by the X
// server or by another client of it): the store has held 0 minutes for today since the logon, so
// the program hands the session over as its end would (the launcher ends the kiosk account's
// programs, the power action is asked for) and ends here, touching nothing of the display.
[[noreturn]] void endOverdueSession(bool restart)
{
    std::fprintf(stderr, "TimoraDesk: the session's time is up and its window did not end it; "
                         "the program ends the session\n");
    overdueEnd.handOver(restart);
    std::fflush(nullptr);
    std::_Exit(0);
}

} // namespace

int main(int argc, char *argv[])
{
    // Where there is no session bus, the accessibility bridge and the tray go without one at once
    // instead of trying to launch one.
    SessionBusFallback::apply();
    // The windows keep their menus. A desktop's global menu (a panel that shows the menus of the
    // window in front) would otherwise take the logon window's, and asking the session bus
    // whether there is one holds up every start.
    QApplication::setAttribute(Qt::AA_DontUseNativeMenuBar);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("TimoraDesk"));
    QApplication::setApplicationVersion(QStringLiteral("%1.%2.%3")
                                            .arg(TIMORA_VERSION_MAJOR)
                                            .arg(TIMORA_VERSION_MINOR)
                                            .arg(TIMORA_VERSION_PATCH));
    QApplication::setStyle(new ProgramStyle);
    QApplication::setWindowIcon(AppIcon::icon());
    QApplication::setQuitOnLastWindowClosed(false);
    // Text cursors stop blinking a while after the last input, so an idle window sleeps.
    CursorBlinkLimit cursorBlink;

    IniSettingsStore store;
    // The one account table, over the settings file or a room's server, handed to every window.
    AccountTable accounts;
    QtMessageBoxes messages;
    ImmediateProgramEnd programEnd;
    QtProgramStarter starter;
    SystemToday today;
    IniRegistry registry;
    SignalTerminationWatch termination;
    SessionDeadlineWatch deadline(endOverdueSession);

    Services s;
    s.accounts = &accounts;
    s.messages = &messages;
    s.programEnd = &programEnd;
    s.starter = &starter;
    s.today = &today;
    // Started by the kiosk launcher, the program tells it of each session, and starts no
    // program of the machine's: what it started would run as the program's own account, which
    // alone can read the accounts. System Information is then unavailable.
    const std::unique_ptr<LauncherSocket> launcher = LauncherSocket::fromEnvironment();
    s.handover = launcher.get();
    s.registry = launcher ? nullptr : &registry;
    s.termination = &termination;
    s.deadline = &deadline;
    overdueEnd = s.sessionEnd(nullptr);
    overdueEnd.powerAction = [](bool restart) {
        const std::unique_ptr<PowerBackend> power = makePowerBackend();
        if (restart ? power->reboot() : power->powerOff())
            return true;
        std::fprintf(stderr, "TimoraDesk: the %s failed: %s\n", restart ? "restart" : "shut-down",
                     qPrintable(power->errorText()));
        return false;
    };
    X11WindowSystem windowSystem;
    s.windowSystem = &windowSystem;
    s.makeDisabler = []() -> std::unique_ptr<Disabler> {
#ifdef TIMORA_SIMULATE_POWER
        // Takes no power hold and only says what it would do, one line for every call.
        return std::make_unique<LinuxDisabler>(makePowerBackend(), stderr);
#else
        return std::make_unique<LinuxDisabler>(makePowerBackend());
#endif
    };
    s.makeTrayIcon = [](QObject *parent) -> TrayIcon * {
        return new QtTrayIcon(AppIcon::icon(), parent);
    };
    s.makeClockChangeSource = [](QObject *parent) -> ClockChangeSource * {
        return new TimerFdClockSource(parent);
    };
    // The accounts of this computer alone, in its settings file; or, in room mode, the account
    // table of the server that the service timoradesk names, shared with the other computers of
    // the room. The server is first reached once the logon window is on the screen; remainders
    // kept while it was away (in a journal beside the settings file, in the account's private
    // folder) are stored as soon as it answers.
    FileAccountStore file(store);
    std::unique_ptr<PostgresAccountStore> room;
    if (const QString serviceFile = PostgresAccountStore::serviceFile(); !serviceFile.isEmpty()) {
        room = std::make_unique<PostgresAccountStore>(
            QStringLiteral("service=") + PostgresAccountStore::ServiceName,
            QFileInfo(store.filePath()).absolutePath() + QStringLiteral("/room-journal"),
            serviceFile);
        accounts.setStore(room.get());
    } else {
        accounts.setStore(&file);
    }

    // The start-up benchmark's timestamp; without TIMORA_BENCH_READY=1 nothing is watched.
    ProgramFlow flow(s);
    if (ReadyProbe::wanted())
        ReadyProbe::watch(flow.logon().txtUser);
    flow.logon().show();
    std::unique_ptr<RoomJournalDelivery> delivery;
    if (room) {
        delivery = std::make_unique<RoomJournalDelivery>(*room);
        // A moment after the first frame: loading libpq (and the two dozen libraries it brings)
        // then comes after the window has taken its first input, not between.
        FirstFrame::after(&flow.logon(), [&delivery] {
            QTimer::singleShot(200, delivery.get(), [&delivery] { delivery->start(); });
        });
    }
    return app.exec();
}
