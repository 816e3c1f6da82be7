#pragma once

#include "core/rules/SessionEnd.h"

#include <functional>
#include <memory>

class AccountTable;
class ClockChangeSource;
class DeadlineWatch;
class Disabler;
class MessageBoxes;
class ProgramEnd;
class ProgramStarter;
class QObject;
class Registry;
class SessionHandover;
class TerminationWatch;
class Today;
class TrayIcon;
class WindowSystem;

// The program's ties to the world outside its windows. The program sets them up once at
// start-up and hands them to every window; tests hand in fakes.
struct Services
{
    // Always there: the windows use them without looking.
    // The program's one account table, over its store.
    AccountTable *accounts = nullptr;
    MessageBoxes *messages = nullptr;
    ProgramEnd *programEnd = nullptr;
    ProgramStarter *starter = nullptr;
    Today *today = nullptr;

    // Optional: a window goes on without the piece that is missing.
    // The desktop's windows, for the logon window's foreground guard (none: no guard).
    WindowSystem *windowSystem = nullptr;
    // The machine-wide registry that tells where System Information lies (none: unavailable).
    Registry *registry = nullptr;
    // The launcher that is told when an ordinary user's session starts and ends (none: the
    // program runs without one, as outside a kiosk).
    SessionHandover *handover = nullptr;
    // Tells a running session when the program is told to end, so that it stores its minutes.
    TerminationWatch *termination = nullptr;
    // Ends the program when a running session is overdue and its window has not ended it
    // (none: the session window alone ends the session).
    DeadlineWatch *deadline = nullptr;
    // The disabler of the logon and session windows (none: no switches, no restart).
    std::function<std::unique_ptr<Disabler>()> makeDisabler;
    // The session window's tray icon (none: the window stays on screen).
    std::function<TrayIcon *(QObject *parent)> makeTrayIcon;
    // The session window's clock-change source (none: clock changes go unnoticed).
    std::function<ClockChangeSource *(QObject *parent)> makeClockChangeSource;

    // Whether every service that is always needed is there.
    bool complete() const { return accounts && messages && programEnd && starter && today; }

    // The optional pieces, made on demand; null where there is none.
    std::unique_ptr<Disabler> disabler() const;
    TrayIcon *trayIcon(QObject *parent) const;
    ClockChangeSource *clockChangeSource(QObject *parent) const;
    // What a session's end asks of the launcher and, through the session window's disabler, of
    // the computer, with today's date to store; storeFailed is left to the window that reports
    // it.
    SessionEnd sessionEnd(Disabler *disabler) const;
};
