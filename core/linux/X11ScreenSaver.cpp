#include "X11ScreenSaver.h"

#include "QtX11Connection.h"

#include <cstdlib>
#include <xcb/screensaver.h>
#include <xcb/xcb.h>
#include <xcb/xcbext.h>

X11ScreenSaver::X11ScreenSaver()
{
    // Asks early whether the server has the extension, so that suspending never waits for it.
    if (xcb_connection_t *connection = qtX11Connection()) {
        xcb_prefetch_extension_data(connection, &xcb_screensaver_id);
        xcb_flush(connection);
    }
}

X11ScreenSaver::~X11ScreenSaver()
{
    resume();
}

bool X11ScreenSaver::suspend()
{
    if (m_suspended)
        return true;
    xcb_connection_t *connection = qtX11Connection();
    if (!connection) {
        m_error = QStringLiteral("no X display");
        return false;
    }
    const xcb_query_extension_reply_t *extension =
        xcb_get_extension_data(connection, &xcb_screensaver_id);
    if (!extension || !extension->present) {
        m_error = QStringLiteral("the X server has no screen saver extension");
        return false;
    }
    m_suspendPending = xcb_screensaver_suspend_checked(connection, 1).sequence;
    m_versionPending = xcb_screensaver_query_version(connection, 1, 1).sequence;
    xcb_flush(connection);
    m_suspended = true;
    return true;
}

X11ScreenSaver::Progress X11ScreenSaver::poll(bool wait)
{
    if (!m_versionPending)
        return m_suspended ? Progress::Done : Progress::Failed;
    xcb_connection_t *connection = qtX11Connection();
    if (!connection) {
        m_versionPending = m_suspendPending = 0;
        m_suspended = false;
        m_error = QStringLiteral("no X display");
        return Progress::Failed;
    }
    xcb_screensaver_query_version_reply_t *version = nullptr;
    xcb_generic_error_t *error = nullptr;
    if (wait) {
        version = xcb_screensaver_query_version_reply(
            connection, xcb_screensaver_query_version_cookie_t{m_versionPending}, &error);
    } else {
        void *reply = nullptr;
        if (!xcb_poll_for_reply(connection, m_versionPending, &reply, &error))
            return Progress::Pending;
        version = static_cast<xcb_screensaver_query_version_reply_t *>(reply);
    }
    // Suspension came with version 1.1 of the extension.
    const bool canSuspend =
        version && !error &&
        (version->server_major_version > 1 ||
         (version->server_major_version == 1 && version->server_minor_version >= 1));
    std::free(version);
    std::free(error);
    // The version's answer came after the suspension was dealt with: its outcome is known.
    error = xcb_request_check(connection, xcb_void_cookie_t{m_suspendPending});
    m_versionPending = m_suspendPending = 0;
    if (!canSuspend || error) {
        std::free(error);
        m_suspended = false;
        m_error = canSuspend
                      ? QStringLiteral("the X server refused to suspend the screen saver")
                      : QStringLiteral("the X server's screen saver extension cannot be suspended");
        return Progress::Failed;
    }
    return Progress::Done;
}

bool X11ScreenSaver::suspended()
{
    poll(true);
    return m_suspended;
}

void X11ScreenSaver::resume()
{
    if (!m_suspended)
        return;
    poll(true);
    if (!m_suspended)
        return;
    m_suspended = false;
    if (xcb_connection_t *connection = qtX11Connection()) {
        xcb_screensaver_suspend(connection, 0);
        xcb_flush(connection);
    }
}
