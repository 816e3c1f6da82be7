#pragma once

#include "WindowSystem.h"

#include <QStringList>

// Closes any foreground window whose whole upper-cased title is not one of the allowed titles.
class ForegroundGuard
{
public:
    // Takes the desktop window's title as it is when the guard starts.
    explicit ForegroundGuard(WindowSystem &windows);

    // The allowed titles, in the order they are tested.
    const QStringList &allowedTitles() const { return m_allowed; }
    bool isAllowed(const QString &title) const;
    // One look at the foreground window: asks it to close unless its title is allowed.
    // Returns true when a close request was sent.
    bool tick();

    bool watches(const WindowSystem &windows) const { return &m_windows == &windows; }

    // Stands for the desktop when there is no desktop window, or it has no title.
    static inline const QString DefaultDesktopTitle = QStringLiteral("DESKTOP");

private:
    WindowSystem &m_windows;
    QStringList m_allowed;
};
