#include "X11KeyboardGrab.h"

#include <QApplication>
#include <QGuiApplication>
#include <cstdlib>
#include <xcb/xcb.h>

namespace {

xcb_connection_t *qtConnection()
{
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t *connection = x11 ? x11->connection() : nullptr;
    return connection && !xcb_connection_has_error(connection) ? connection : nullptr;
}

xcb_window_t rootOf(xcb_connection_t *connection)
{
    // The screen that $DISPLAY names, as Qt takes it.
    char *host = nullptr;
    int display = 0;
    int screenNumber = 0;
    if (!xcb_parse_display(nullptr, &host, &display, &screenNumber))
        screenNumber = 0;
    std::free(host);
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; screens.rem > 1 && i < screenNumber; ++i)
        xcb_screen_next(&screens);
    if (screens.rem == 0)
        return XCB_WINDOW_NONE;
    return screens.data->root;
}

} // namespace

X11KeyboardGrab::Result X11KeyboardGrab::take()
{
    xcb_connection_t *connection = qtConnection();
    if (!connection) {
        m_held = false;
        m_error = QStringLiteral("the program does not run on an X display");
        return Result::Unavailable;
    }
    // A pop-up menu of the program holds the keyboard for itself while it is open.
    if (QApplication::activePopupWidget())
        return m_held ? Result::Taken : Result::Busy;

    const xcb_window_t root = rootOf(connection);
    xcb_generic_error_t *error = nullptr;
    xcb_grab_keyboard_reply_t *reply =
        xcb_grab_keyboard_reply(connection,
                                xcb_grab_keyboard(connection, 1, root, XCB_CURRENT_TIME,
                                                  XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC),
                                &error);
    const bool taken = reply && !error && reply->status == XCB_GRAB_STATUS_SUCCESS;
    std::free(reply);
    std::free(error);
    m_held = taken;
    if (!taken)
        m_error = QStringLiteral("another program holds the keyboard");
    return taken ? Result::Taken : Result::Busy;
}

void X11KeyboardGrab::release()
{
    if (!m_held)
        return;
    m_held = false;
    if (xcb_connection_t *connection = qtConnection()) {
        xcb_ungrab_keyboard(connection, XCB_CURRENT_TIME);
        xcb_flush(connection);
    }
}
