#include "core/services/ForegroundGuard.h"

ForegroundGuard::ForegroundGuard(WindowSystem &windows) : m_windows(windows)
{
    QString desktop = asciiUpper(windows.desktopTitle().value_or(QString()));
    // An untitled desktop would let every untitled window through.
    if (desktop.isEmpty())
        desktop = DefaultDesktopTitle;
    m_allowed = {QStringLiteral("SYSTEM LOGON"), desktop, QStringLiteral("TIMORA DESK"),
                 QStringLiteral("ABOUT TIMORADESK"), SystemInformationTitle};
}

QString ForegroundGuard::asciiUpper(QString text)
{
    for (QChar &c : text) {
        if (c >= u'a' && c <= u'z')
            c = QChar(c.unicode() - u'a' + u'A');
    }
    return text;
}

bool ForegroundGuard::isAllowed(const QString &title, WindowSystem::Maker maker) const
{
    // Any program can give its window any title: a title counts only on the window it stands
    // for. The desktop belongs to another program and is not let through while the logon window
    // waits; its title is left to the program's own windows like the rest.
    if (maker == WindowSystem::Maker::Other)
        return false;
    const QString upper = asciiUpper(title);
    for (qsizetype i = 0; i < m_allowed.size(); ++i) {
        if (upper != m_allowed.at(i))
            continue;
        const bool systemInformation = i == m_allowed.size() - 1;
        return maker == WindowSystem::Maker::Program || systemInformation;
    }
    return false;
}

bool ForegroundGuard::closeOrRemove(WindowSystem::WindowId window,
                                    QSet<WindowSystem::WindowId> &askedNow)
{
    // Asked during this tick and still there: it has until the next tick.
    if (askedNow.contains(window))
        return false;
    // Asked at the previous tick and still there, whatever it calls itself now.
    if (m_asked.contains(window) && m_windows.forceClose(window)) {
        m_windows.waitUntilNotInFront(window, LookAgainWaitMs);
        return true;
    }
    m_windows.askToClose(window);
    askedNow.insert(window);
    m_windows.waitUntilNotInFront(window, LookAgainWaitMs);
    return true;
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
        if (askedNow.contains(window))
            break;
        if (!m_asked.contains(window) &&
            isAllowed(title->left(WindowSystem::MaxTitleLength), m_windows.makerOf(window)))
            break;
        if (!closeOrRemove(window, askedNow))
            break;
        acted = true;
    }
    // Windows that never take the focus are left alone, unless they lie over the guarded
    // window: a look-alike of it, or a panel drawn across it.
    if (m_guarded != WindowSystem::NoWindow) {
        for (WindowSystem::WindowId window : m_windows.windowsCovering(m_guarded)) {
            const std::optional<QString> title = m_windows.titleOf(window);
            if (!title)
                continue;
            if (!m_asked.contains(window) &&
                isAllowed(title->left(WindowSystem::MaxTitleLength), m_windows.makerOf(window)))
                continue;
            acted = closeOrRemove(window, askedNow) || acted;
        }
    }
    m_asked = askedNow;
    return acted;
}
