#include "X11KeyboardGrab.h"

#include "QtX11Connection.h"

#include <QAbstractNativeEventFilter>
#include <QApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QWidget>
#include <cstdlib>
#include <xcb/xcb.h>
#include <xcb/xcbext.h>

namespace {

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

// While the grab is asked for or held, drops the focus events whose mode says that a grab was
// taken or let go. Real focus changes during the grab come with another mode and reach Qt as
// usual; so do the focus events of the program's own pop-up menus. A focus event saying that a
// grab was let go while ours is held and no pop-up is open means that ours has ended.
class GrabFocusFilter : public QAbstractNativeEventFilter
{
public:
    GrabFocusFilter(const bool &wanted, const bool &held, const std::function<void()> &lost)
        : m_wanted(wanted), m_held(held), m_lost(lost)
    {}

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *) override
    {
        if (!m_wanted || eventType != "xcb_generic_event_t")
            return false;
        const auto *event = static_cast<const xcb_generic_event_t *>(message);
        const std::uint8_t type = event->response_type & 0x7f;
        if (type != XCB_FOCUS_IN && type != XCB_FOCUS_OUT)
            return false;
        // Focus-in and focus-out events share one layout.
        const auto *focus = static_cast<const xcb_focus_in_event_t *>(message);
        const bool causedByGrab =
            focus->mode == XCB_NOTIFY_MODE_GRAB || focus->mode == XCB_NOTIFY_MODE_UNGRAB;
        if (!causedByGrab || QApplication::activePopupWidget())
            return false;
        if (focus->mode == XCB_NOTIFY_MODE_UNGRAB && m_held && m_lost)
            m_lost();
        return true;
    }

private:
    const bool &m_wanted;
    const bool &m_held;
    const std::function<void()> &m_lost;
};

// Sees every widget of the program hide. Qt lets go of a pop-up's keyboard grab before the
// pop-up's hide event, so the callback runs right after the X request that freed the keyboard.
class PopupCloseWatch : public QObject
{
public:
    explicit PopupCloseWatch(std::function<void()> callback) : m_callback(std::move(callback)) {}

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::Hide || !watched->isWidgetType())
            return false;
        const auto *widget = static_cast<const QWidget *>(watched);
        if (widget->isWindow() && widget->windowType() == Qt::Popup &&
            !QApplication::activePopupWidget())
            m_callback();
        return false;
    }

private:
    std::function<void()> m_callback;
};

} // namespace

X11KeyboardGrab::X11KeyboardGrab() = default;

X11KeyboardGrab::~X11KeyboardGrab()
{
    if (m_focusFilter && qApp)
        qApp->removeNativeEventFilter(m_focusFilter.get());
    if (m_popupWatch && qApp)
        qApp->removeEventFilter(m_popupWatch.get());
}

void X11KeyboardGrab::whenLost(std::function<void()> callback)
{
    m_lost = std::move(callback);
    if (m_popupWatch && qApp)
        qApp->removeEventFilter(m_popupWatch.get());
    m_popupWatch = std::make_unique<PopupCloseWatch>([this] {
        if (m_lost)
            m_lost();
    });
    if (qApp)
        qApp->installEventFilter(m_popupWatch.get());
}

X11KeyboardGrab::Result X11KeyboardGrab::request()
{
    xcb_connection_t *connection = qtX11Connection();
    if (!connection) {
        m_held = m_wanted = false;
        m_pending = 0;
        m_error = QStringLiteral("the program does not run on an X display");
        return Result::Unavailable;
    }
    // A pop-up menu of the program holds the keyboard for itself while it is open.
    if (QApplication::activePopupWidget())
        return m_held ? Result::Taken : Result::Busy;
    // An answer still due is for a grab that something since may have undone: ask again.
    if (m_pending)
        xcb_discard_reply(connection, m_pending);

    if (!m_focusFilter) {
        m_focusFilter = std::make_unique<GrabFocusFilter>(m_wanted, m_held, m_lost);
        qApp->installNativeEventFilter(m_focusFilter.get());
    }
    m_pending = xcb_grab_keyboard(connection, 1, rootOf(connection), XCB_CURRENT_TIME,
                                  XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC)
                    .sequence;
    xcb_flush(connection);
    m_wanted = true;
    return Result::Pending;
}

X11KeyboardGrab::Result X11KeyboardGrab::poll(bool wait)
{
    if (!m_pending)
        return m_held ? Result::Taken : Result::Busy;
    xcb_connection_t *connection = qtX11Connection();
    if (!connection)
        return request();
    xcb_grab_keyboard_reply_t *reply = nullptr;
    xcb_generic_error_t *error = nullptr;
    if (wait) {
        reply = xcb_grab_keyboard_reply(connection, xcb_grab_keyboard_cookie_t{m_pending}, &error);
    } else {
        void *answer = nullptr;
        if (!xcb_poll_for_reply(connection, m_pending, &answer, &error))
            return Result::Pending;
        reply = static_cast<xcb_grab_keyboard_reply_t *>(answer);
    }
    m_pending = 0;
    const bool taken = reply && !error && reply->status == XCB_GRAB_STATUS_SUCCESS;
    std::free(reply);
    std::free(error);
    m_held = m_wanted = taken;
    if (!taken)
        m_error = QStringLiteral("another program holds the keyboard");
    return taken ? Result::Taken : Result::Busy;
}

X11KeyboardGrab::Result X11KeyboardGrab::take()
{
    const Result result = request();
    return result == Result::Pending ? poll(true) : result;
}

bool X11KeyboardGrab::held()
{
    if (m_pending)
        poll(true);
    return m_held;
}

void X11KeyboardGrab::release()
{
    if (!m_held && !m_wanted)
        return;
    m_held = m_wanted = false;
    if (xcb_connection_t *connection = qtX11Connection()) {
        if (m_pending)
            xcb_discard_reply(connection, m_pending);
        xcb_ungrab_keyboard(connection, XCB_CURRENT_TIME);
        xcb_flush(connection);
    }
    m_pending = 0;
}
