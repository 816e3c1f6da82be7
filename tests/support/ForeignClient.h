#pragma once

#include <QByteArray>
#include <QString>
#include <memory>
#include <xcb/xcb.h>

class WindowSystem;

// Another program on the test display: a connection of its own with one top-level window. Asked
// through WM_DELETE_WINDOW, it closes its window like an ordinary application, or, as told,
// ignores the request or takes another title instead.
class ForeignClient
{
public:
    struct Options
    {
        QString title;
        bool offersDelete = true;
        bool desktopType = false;
        // Only the old Latin-1 WM_NAME, no _NET_WM_NAME.
        bool latin1TitleOnly = false;
        enum class WhenAsked { Close, Ignore, Rename };
        WhenAsked whenAsked = WhenAsked::Close;
        // The title it takes when asked to close (WhenAsked::Rename).
        QString renameTo = {};
        // A dock or panel.
        bool dockType = false;
    };

    ForeignClient(const QByteArray &display, const Options &options);
    ~ForeignClient();
    ForeignClient(const ForeignClient &) = delete;

    // Opens a window on the test display and waits (failing the test after 3 s) until the window
    // manager has brought it to the front, as `windows` sees it.
    static std::unique_ptr<ForeignClient> inFront(WindowSystem &windows, const Options &options);
    ForeignClient &operator=(const ForeignClient &) = delete;

    xcb_connection_t *connection() const { return m_connection; }
    xcb_window_t window() const { return m_window; }
    xcb_window_t root() const { return m_root; }

    // Maps the window and waits until the server shows it.
    void map();
    // Asks the window manager to bring the window to the front and gives it the keyboard.
    void activate();
    // Reads what the server sent: close requests, key presses, the connection's end.
    void poll();

    bool askedToClose() const { return m_askedToClose; }
    // Asks for the window's place and size on the screen.
    void place(int x, int y, int width, int height);
    // Writes the root's _NET_ACTIVE_WINDOW as a window manager does, naming the window.
    void nameActive(xcb_window_t window);
    // Gives its own window the keyboard focus.
    void takeFocus();
    // Sets both titles of the window.
    void setTitle(const QString &title);
    // The window is gone: closed on request, or the client was killed.
    bool closed() const { return m_closed || xcb_connection_has_error(m_connection); }
    int keyPresses() const { return m_keyPresses; }

    bool grabKeyboard();
    void ungrabKeyboard();
    // A window manager's shortcut: a passive grab of key+modifiers on the root window.
    void grabShortcut(xcb_keycode_t key, std::uint16_t modifiers);
    xcb_keycode_t keycodeOf(std::uint32_t keysym) const;

    xcb_atom_t atom(const char *name) const;

private:
    xcb_connection_t *m_connection = nullptr;
    xcb_window_t m_root = XCB_WINDOW_NONE;
    xcb_window_t m_window = XCB_WINDOW_NONE;
    xcb_atom_t m_deleteWindow = XCB_ATOM_NONE;
    Options::WhenAsked m_whenAsked = Options::WhenAsked::Close;
    QString m_renameTo;
    bool m_askedToClose = false;
    bool m_closed = false;
    int m_keyPresses = 0;
};
