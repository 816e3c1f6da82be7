#pragma once

#include <QIcon>
#include <functional>
#include <memory>

class ClockChangeSource;
class Disabler;
class LogonGate;
class MessageBoxes;
class ProgramEnd;
class ProgramStarter;
class Today;
class TrayIcon;
class QObject;
class Registry;
class TerminationWatch;
class WindowSystem;

// The program's ties to the world outside its windows, set once at start-up; tests set fakes.
struct Services
{
    MessageBoxes *messages = nullptr;
    ProgramEnd *programEnd = nullptr;
    ProgramStarter *starter = nullptr;
    Today *today = nullptr;
    LogonGate *logon = nullptr;
    // The desktop's windows, for the logon window's foreground guard.
    WindowSystem *windowSystem = nullptr;
    // The machine-wide registry that tells where System Information lies.
    Registry *registry = nullptr;
    // Tells a running session when the program is told to end, so that it stores its minutes.
    TerminationWatch *termination = nullptr;

    std::function<std::unique_ptr<Disabler>()> makeDisabler;
    std::function<TrayIcon *(QObject *parent)> makeTrayIcon;
    std::function<ClockChangeSource *(QObject *parent)> makeClockChangeSource;

    // Today's date as stored date text.
    QString todayText() const;
    // The program's own icon (hourglass), for windows and the tray.
    static QIcon appIcon();
};

Services &services();
