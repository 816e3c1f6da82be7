#pragma once

#include "core/WindowSystem.h"

#include <QList>
#include <QMap>
#include <functional>

// A desktop made of titles: tests say which window is in front and read which were asked to
// close.
class FakeWindowSystem : public WindowSystem
{
public:
    // Puts a window with the title in front and returns its id.
    WindowId bringToFront(const QString &title)
    {
        const WindowId id = m_next++;
        titles[id] = title;
        foreground = id;
        return id;
    }

    WindowId foregroundWindow() override
    {
        if (whileLooking)
            whileLooking();
        return foreground;
    }
    std::optional<QString> titleOf(WindowId window) override
    {
        if (!titles.contains(window))
            return std::nullopt;
        return titles.value(window).left(MaxTitleLength);
    }
    void askToClose(WindowId window) override { closeRequests.append(window); }
    std::optional<QString> desktopTitle() override { return desktop; }

    QMap<WindowId, QString> titles;
    WindowId foreground = NoWindow;
    std::optional<QString> desktop;
    QList<WindowId> closeRequests;
    std::function<void()> whileLooking;

private:
    WindowId m_next = 0x400001;
};
