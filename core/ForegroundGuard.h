#pragma once

#include "WindowSystem.h"

#include <QSet>
#include <QStringList>

// Closes any foreground window whose whole title, upper-cased letter by letter in ASCII, is not
// one of the allowed titles. A window asked to close that is still in front at the next tick
// (under whatever title) is removed by force.
class ForegroundGuard
{
public:
    // Takes the desktop window's title as it is when the guard starts.
    explicit ForegroundGuard(WindowSystem &windows);

    // The allowed titles, in the order they are tested.
    const QStringList &allowedTitles() const { return m_allowed; }
    bool isAllowed(const QString &title) const;
    // Looks at the foreground window: a window asked to close at the previous tick and still in
    // front is removed by force, any other window whose title is not allowed is asked to close.
    // After each window it closed or removed, the tick looks again at what is in front now.
    // Returns true when it asked or removed a window.
    bool tick();

    bool watches(const WindowSystem &windows) const { return &m_windows == &windows; }

    // Only a-z become A-Z: case rules beyond ASCII would turn look-alike letters ("ſ", "ı")
    // into the letters of an allowed title.
    static QString asciiUpper(QString text);

    // Stands for the desktop when there is no desktop window, or it has no title.
    static inline const QString DefaultDesktopTitle = QStringLiteral("DESKTOP");
    // How long a tick waits for a window it closed to leave the front before it looks again.
    static constexpr int LookAgainWaitMs = 200;
    // A bound on the looks of one tick, so that a tick always ends.
    static constexpr int MaxLooksPerTick = 64;

private:
    WindowSystem &m_windows;
    QStringList m_allowed;
    // The windows asked to close at the previous tick.
    QSet<WindowSystem::WindowId> m_asked;
};
