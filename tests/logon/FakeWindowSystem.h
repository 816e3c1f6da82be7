#pragma once

#include "core/services/WindowSystem.h"

#include <QList>
#include <QMap>
#include <QSet>
#include <functional>

// A desktop made of titles: tests say which window is in front and read which were asked to
// close or removed. A window asked to close goes, unless the test made it stubborn, and the
// window opened before it comes to the front again.
class FakeWindowSystem : public WindowSystem
{
public:
    // Puts a window with the title in front and returns its id; it belongs to another program
    // unless the test says otherwise.
    WindowId bringToFront(const QString &title, Maker maker = Maker::Other)
    {
        const WindowId id = m_next++;
        titles[id] = title;
        makers[id] = maker;
        m_stack.append(id);
        foreground = id;
        return id;
    }

    WindowId foregroundWindow() override
    {
        if (whileLooking)
            whileLooking();
        return foreground;
    }
    Maker makerOf(WindowId window) override { return makers.value(window, Maker::Other); }
    QList<WindowId> windowsCovering(WindowId window) override
    {
        coveringAskedFor.append(window);
        QList<WindowId> shown;
        for (WindowId w : covering) {
            if (titles.contains(w))
                shown.append(w);
        }
        return shown;
    }
    std::optional<QString> titleOf(WindowId window) override
    {
        if (!titles.contains(window))
            return std::nullopt;
        return titles.value(window).left(MaxTitleLength);
    }
    void askToClose(WindowId window) override
    {
        closeRequests.append(window);
        if (whenAsked.contains(window))
            whenAsked.value(window)();
        if (!stubborn.contains(window))
            remove(window);
    }
    bool forceClose(WindowId window) override
    {
        if (protectedWindows.contains(window) || !titles.contains(window))
            return false;
        removals.append(window);
        remove(window);
        return true;
    }
    bool waitUntilNotInFront(WindowId window, int) override { return foreground != window; }
    std::optional<QString> desktopTitle() override { return desktop; }

    QMap<WindowId, QString> titles;
    QMap<WindowId, Maker> makers;
    // The windows that lie over the guarded window (those that still exist are reported).
    QList<WindowId> covering;
    // The windows the guard asked about.
    QList<WindowId> coveringAskedFor;
    WindowId foreground = NoWindow;
    std::optional<QString> desktop;
    QList<WindowId> closeRequests;
    QList<WindowId> removals;
    // Windows that ignore close requests, and windows that may not be removed.
    QSet<WindowId> stubborn;
    QSet<WindowId> protectedWindows;
    // What a window does when it is asked to close (before it goes, if it goes).
    QMap<WindowId, std::function<void()>> whenAsked;
    std::function<void()> whileLooking;

private:
    void remove(WindowId window)
    {
        titles.remove(window);
        makers.remove(window);
        m_stack.removeAll(window);
        if (foreground == window)
            foreground = m_stack.isEmpty() ? NoWindow : m_stack.last();
    }

    QList<WindowId> m_stack;
    WindowId m_next = 0x400001;
};
