#pragma once

#include "core/services/WindowSystem.h"

#include <QByteArray>
#include <optional>
#include <xcb/xcb.h>
#include <xcb/xcb_ewmh.h>

// The top-level windows of an X display, read through a connection of its own, so that an error
// about a window that has just gone away reaches nobody but this class. Every request that can
// fail is checked and its error dropped; a lost connection makes every call a quiet no-op.
class X11WindowSystem : public WindowSystem
{
public:
    // Connects to the named display ($DISPLAY when empty) at the first look.
    explicit X11WindowSystem(const QByteArray &displayName = {});
    ~X11WindowSystem() override;
    X11WindowSystem(const X11WindowSystem &) = delete;
    X11WindowSystem &operator=(const X11WindowSystem &) = delete;

    WindowId foregroundWindow() override;
    Maker makerOf(WindowId window) override;
    QList<WindowId> windowsCovering(WindowId window) override;
    std::optional<QString> titleOf(WindowId window) override;
    void askToClose(WindowId window) override;
    bool forceClose(WindowId window) override;
    bool waitUntilNotInFront(WindowId window, int timeoutMs) override;
    std::optional<QString> desktopTitle() override;

    // False when there is no display or the connection to it broke.
    bool connected();
    // True while an EWMH window manager runs on the screen.
    bool windowManagerRunning();

private:
    void connectOnce();
    void attach(xcb_connection_t *connection, int screenNumber);
    xcb_atom_t intern(const char *name);
    // Reads a property; false when the window does not exist (or the connection broke).
    bool readProperty(xcb_window_t window, xcb_atom_t property, xcb_atom_t type,
                      std::uint32_t longLength, QByteArray &value,
                      xcb_atom_t *actualType = nullptr);
    // The receiving half of readProperty, for requests sent together.
    bool takeProperty(xcb_get_property_cookie_t cookie, xcb_atom_t type, QByteArray &value,
                      xcb_atom_t *actualType = nullptr);
    bool hasProperty(xcb_window_t window, xcb_atom_t property);
    // The process that made the window, as the X server knows its client (0 when it does not
    // say: no X-Resource extension, or a client that is not on this machine).
    std::uint32_t processOf(xcb_window_t window);
    // The child of the root that holds the window, NoWindow when there is none.
    xcb_window_t topLevelOf(xcb_window_t window);
    // The application window inside a top-level (a window manager's frame holds one).
    xcb_window_t clientWindowOf(xcb_window_t topLevel);
    bool exists(xcb_window_t window);
    // Made by this program (on Qt's own connection to the display).
    bool isOwnWindow(xcb_window_t window);
    // Made by the same client of the X server.
    bool sameClient(xcb_window_t a, xcb_window_t b);
    // The window named by the _NET_SUPPORTING_WM_CHECK property of a window, or none.
    xcb_window_t windowManagerCheck(xcb_window_t of);
    // Made by the window manager: the client that owns the screen's WM_Sn selection, which only
    // one client holds at a time (and which a window manager gives up only by ending).
    bool isWindowManagers(xcb_window_t window);
    // Where a window is on the screen and whether it is shown; false when it does not exist.
    bool shownRectangle(xcb_window_t window, int &x, int &y, int &width, int &height);
    bool sendClientMessage(xcb_window_t destination, std::uint32_t eventMask, xcb_window_t window,
                           xcb_atom_t type, std::initializer_list<std::uint32_t> data);

    QByteArray m_displayName;
    bool m_connectTried = false;
    xcb_connection_t *m_connection = nullptr;
    xcb_ewmh_connection_t m_ewmh{};
    bool m_ewmhReady = false;
    xcb_window_t m_root = XCB_WINDOW_NONE;
    int m_screenNumber = 0;
    xcb_atom_t m_wmProtocols = XCB_ATOM_NONE;
    xcb_atom_t m_wmDeleteWindow = XCB_ATOM_NONE;
    xcb_atom_t m_wmState = XCB_ATOM_NONE;
    xcb_atom_t m_wmSelection = XCB_ATOM_NONE;
    bool m_resourceExtension = false;
    bool m_reported = false;
};
