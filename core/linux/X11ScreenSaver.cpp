#include "X11ScreenSaver.h"

#include <cstdlib>
#include <xcb/screensaver.h>
#include <xcb/xcb.h>

X11ScreenSaver::~X11ScreenSaver()
{
    resume();
}

bool X11ScreenSaver::suspend()
{
    if (m_connection)
        return true;
    xcb_connection_t *connection =
        xcb_connect(m_displayName.isEmpty() ? nullptr : m_displayName.constData(), nullptr);
    auto fail = [&](const char *why) {
        xcb_disconnect(connection);
        m_error = QString::fromLatin1(why);
        return false;
    };
    if (xcb_connection_has_error(connection))
        return fail("no X display");
    const xcb_query_extension_reply_t *extension =
        xcb_get_extension_data(connection, &xcb_screensaver_id);
    if (!extension || !extension->present)
        return fail("the X server has no screen saver extension");
    xcb_generic_error_t *error = nullptr;
    xcb_screensaver_query_version_reply_t *version = xcb_screensaver_query_version_reply(
        connection, xcb_screensaver_query_version(connection, 1, 1), &error);
    // Suspension came with version 1.1 of the extension.
    const bool canSuspend =
        version && !error &&
        (version->server_major_version > 1 ||
         (version->server_major_version == 1 && version->server_minor_version >= 1));
    std::free(version);
    std::free(error);
    if (!canSuspend)
        return fail("the X server's screen saver extension cannot be suspended");
    error = xcb_request_check(connection, xcb_screensaver_suspend_checked(connection, 1));
    if (error) {
        std::free(error);
        return fail("the X server refused to suspend the screen saver");
    }
    m_connection = connection;
    return true;
}

void X11ScreenSaver::resume()
{
    if (!m_connection)
        return;
    xcb_screensaver_suspend(m_connection, 0);
    xcb_flush(m_connection);
    xcb_disconnect(m_connection);
    m_connection = nullptr;
}
