#include "ForegroundGuard.h"

ForegroundGuard::ForegroundGuard(WindowSystem &windows) : m_windows(windows)
{
    QString desktop = windows.desktopTitle().value_or(QString()).toUpper();
    // An untitled desktop would let every untitled window through.
    if (desktop.isEmpty())
        desktop = DefaultDesktopTitle;
    m_allowed = {QStringLiteral("SYSTEM LOGON"), desktop, QStringLiteral("TIMORA DESK"),
                 QStringLiteral("ABOUT TIMORADESK"), QStringLiteral("SYSTEM INFORMATION")};
}

bool ForegroundGuard::isAllowed(const QString &title) const
{
    const QString upper = title.toUpper();
    for (const QString &allowed : m_allowed) {
        if (upper == allowed)
            return true;
    }
    return false;
}

bool ForegroundGuard::tick()
{
    const WindowSystem::WindowId window = m_windows.foregroundWindow();
    if (window == WindowSystem::NoWindow)
        return false;
    const std::optional<QString> title = m_windows.titleOf(window);
    // The window went away between the two looks.
    if (!title)
        return false;
    if (isAllowed(title->left(WindowSystem::MaxTitleLength)))
        return false;
    m_windows.askToClose(window);
    return true;
}
