#pragma once

#include "core/services/WindowSystem.h"

#include <QSet>
#include <QStringList>

// Closes any foreground window whose whole title, upper-cased letter by letter in ASCII, is not
// one of the allowed titles, and any window of another program that covers the guarded window.
// The titles are allowed only for the windows they stand for, as the display knows who made a
// window: the program's own titles (and the desktop's) for the program's own windows, the
// system information program's for the program that this program started. A window asked to
// close that is still there at the next tick (under whatever title) is removed by force.
class ForegroundGuard
{
public:
    // Takes the desktop window's title as it is when the guard starts.
    explicit ForegroundGuard(WindowSystem &windows);

    // The window of this program that no other program's window may cover (the logon window).
    void guard(WindowSystem::WindowId window) { m_guarded = window; }

    // The allowed titles, in the order they are tested.
    const QStringList &allowedTitles() const { return m_allowed; }
    bool isAllowed(const QString &title, WindowSystem::Maker maker) const;
    // Looks at the foreground window: a window asked to close at the previous tick and still in
    // front is removed by force, any other window whose title is not allowed is asked to close.
    // After each window it closed or removed, the tick looks again at what is in front now. Then
    // the windows that cover the guarded window are treated the same way. Returns true when it
    // asked or removed a window.
    bool tick();

    bool watches(const WindowSystem &windows) const { return &m_windows == &windows; }

    // Only a-z become A-Z: case rules beyond ASCII would turn look-alike letters ("ſ", "ı")
    // into the letters of an allowed title.
    static QString asciiUpper(QString text);

    // Stands for the desktop when there is no desktop window, or it has no title.
    static inline const QString DefaultDesktopTitle = QStringLiteral("DESKTOP");
    // The title of the system information program, the last of the allowed titles.
    static inline const QString SystemInformationTitle = QStringLiteral("SYSTEM INFORMATION");
    // How long a tick waits for a window it closed to leave the front before it looks again.
    static constexpr int LookAgainWaitMs = 200;
    // A bound on the looks of one tick, so that a tick always ends.
    static constexpr int MaxLooksPerTick = 64;

private:
    // Asks the window to close, or removes it when it was asked at the previous tick; true when
    // it acted.
    bool closeOrRemove(WindowSystem::WindowId window, QSet<WindowSystem::WindowId> &askedNow);

    WindowSystem &m_windows;
    QStringList m_allowed;
    WindowSystem::WindowId m_guarded = WindowSystem::NoWindow;
    // The windows asked to close at the previous tick.
    QSet<WindowSystem::WindowId> m_asked;
};
