#include "ForegroundGuard.h"

ForegroundGuard::ForegroundGuard(WindowSystem &windows) : m_windows(windows)
{
    QString desktop = asciiUpper(windows.desktopTitle().value_or(QString()));
    // An untitled desktop would let every untitled window through.
    if (desktop.isEmpty())
        desktop = DefaultDesktopTitle;
    m_allowed = {QStringLiteral("SYSTEM LOGON"), desktop, QStringLiteral("TIMORA DESK"),
                 QStringLiteral("ABOUT TIMORADESK"), QStringLiteral("SYSTEM INFORMATION")};
}

QString ForegroundGuard::asciiUpper(QString text)
{
    for (QChar &c : text) {
        if (c >= u'a' && c <= u'z')
            c = QChar(c.unicode() - u'a' + u'A');
    }
    return text;
}

bool ForegroundGuard::isAllowed(const QString &title) const
{
    const QString upper = asciiUpper(title);
    for (const QString &allowed : m_allowed) {
        if (upper == allowed)
            return true;
    }
    return false;
}

bool ForegroundGuard::tick()
{
    QSet<WindowSystem::WindowId> askedNow;
    bool acted = false;
    for (int look = 0; look < MaxLooksPerTick; ++look) {
        const WindowSystem::WindowId window = m_windows.foregroundWindow();
        if (window == WindowSystem::NoWindow)
            break;
        const std::optional<QString> title = m_windows.titleOf(window);
        // The window went away between the two looks.
        if (!title)
            break;
        // Asked during this tick and still in front: it has until the next tick.
        if (askedNow.contains(window))
            break;
        // Asked at the previous tick and still there, whatever it calls itself now.
        if (m_asked.contains(window) && m_windows.forceClose(window)) {
            acted = true;
            m_windows.waitUntilNotInFront(window, LookAgainWaitMs);
            continue;
        }
        if (isAllowed(title->left(WindowSystem::MaxTitleLength)))
            break;
        m_windows.askToClose(window);
        askedNow.insert(window);
        acted = true;
        m_windows.waitUntilNotInFront(window, LookAgainWaitMs);
    }
    m_asked = askedNow;
    return acted;
}
