#pragma once

#include <QList>
#include <QString>
#include <cstdint>
#include <optional>

// The desktop's top-level windows as the foreground guard sees them.
class WindowSystem
{
public:
    using WindowId = std::uint32_t;
    static constexpr WindowId NoWindow = 0;
    // The most characters of a title that are read.
    static constexpr int MaxTitleLength = 255;

    // Who made a window, as the display itself knows it: never taken from what a window or its
    // program says about itself (titles, process ids in properties, the root's properties).
    enum class Maker {
        Program,        // this program
        StartedProgram, // a program that this program started, while it runs
        Other,
    };

    virtual ~WindowSystem() = default;

    // The window the user is working with: the one that holds the keyboard focus, NoWindow when
    // there is none.
    virtual WindowId foregroundWindow() = 0;
    // Who made the window; Other for a window that no longer exists.
    virtual Maker makerOf(WindowId window) = 0;
    // The windows of other programs that are shown stacked above the given window of this program
    // and overlap it, topmost first; nothing when the window is not shown.
    virtual QList<WindowId> windowsCovering(WindowId window) = 0;
    // The window's title, at most MaxTitleLength characters; nothing when the window no longer
    // exists.
    virtual std::optional<QString> titleOf(WindowId window) = 0;
    // Asks the window to close; the window decides itself how to react. A window that no longer
    // exists is sent nothing.
    virtual void askToClose(WindowId window) = 0;
    // Removes the window without asking: the program that made it loses its hold on the
    // display, and all its windows with it. Refused (false) for the program's own windows, the
    // window manager's, and a window that no longer exists.
    virtual bool forceClose(WindowId window) = 0;
    // Gives the window up to timeoutMs to leave the front (closed, or another window came before
    // it); true when it did.
    virtual bool waitUntilNotInFront(WindowId window, int timeoutMs) = 0;
    // The title of the desktop window (the one that draws the desktop background and icons),
    // nothing when the desktop has none.
    virtual std::optional<QString> desktopTitle() = 0;
};
