#include "X11WindowSystem.h"

#include "core/services/StartedPrograms.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QList>
#include <QThread>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <xcb/res.h>
#include <xcb/xcb_icccm.h>

namespace {

struct FreeReply
{
    void operator()(void *reply) const { std::free(reply); }
};
template<typename T> using Reply = std::unique_ptr<T, FreeReply>;

// A title read as UTF-8 needs at most four bytes a character.
constexpr std::uint32_t Utf8TitleWords = (WindowSystem::MaxTitleLength * 4 + 3) / 4;
constexpr std::uint32_t Latin1TitleWords = (WindowSystem::MaxTitleLength + 3) / 4;
// How far the search for an application window inside a frame goes.
constexpr int MaxSearchedWindows = 256;
constexpr int MaxTreeDepth = 64;
// How often a wait for the front to change looks again.
constexpr int WaitStepMs = 5;
// _NET_CLOSE_WINDOW's source: a direct action of the user, which window managers honour.
constexpr std::uint32_t SourceDirectAction = 2;

QString cutTitle(QString title)
{
    if (title.size() > WindowSystem::MaxTitleLength) {
        qsizetype length = WindowSystem::MaxTitleLength;
        // Never keep half of a character outside the basic plane.
        if (title.at(length - 1).isHighSurrogate())
            --length;
        title.truncate(length);
    }
    return title;
}

} // namespace

X11WindowSystem::X11WindowSystem(const QByteArray &displayName) : m_displayName(displayName) {}

void X11WindowSystem::connectOnce()
{
    // The connection is made at the first look, not at start-up, so that the first showing of
    // the logon window does not wait for it.
    if (m_connectTried)
        return;
    m_connectTried = true;
    int screenNumber = 0;
    xcb_connection_t *connection =
        xcb_connect(m_displayName.isEmpty() ? nullptr : m_displayName.constData(), &screenNumber);
    if (xcb_connection_has_error(connection)) {
        std::fprintf(stderr, "TimoraDesk: cannot connect to the X display; the foreground guard "
                             "is off\n");
        m_reported = true;
    }
    attach(connection, screenNumber);
}

X11WindowSystem::~X11WindowSystem()
{
    if (m_ewmhReady)
        xcb_ewmh_connection_wipe(&m_ewmh);
    if (m_connection)
        xcb_disconnect(m_connection);
}

void X11WindowSystem::attach(xcb_connection_t *connection, int screenNumber)
{
    m_connection = connection;
    m_screenNumber = screenNumber;
    if (!m_connection || xcb_connection_has_error(m_connection))
        return;
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(m_connection));
    for (int i = 0; screens.rem > 0 && i < screenNumber; ++i)
        xcb_screen_next(&screens);
    if (screens.rem > 0)
        m_root = screens.data->root;

    xcb_intern_atom_cookie_t *cookies = xcb_ewmh_init_atoms(m_connection, &m_ewmh);
    m_ewmhReady = xcb_ewmh_init_atoms_replies(&m_ewmh, cookies, nullptr) == 1;
    m_wmProtocols = intern("WM_PROTOCOLS");
    m_wmDeleteWindow = intern("WM_DELETE_WINDOW");
    m_wmState = intern("WM_STATE");
    m_wmSelection = intern(QByteArray("WM_S" + QByteArray::number(screenNumber)).constData());

    // The X-Resource extension tells which process a client is, from the server's own view of
    // the connection.
    const xcb_query_extension_reply_t *resource = xcb_get_extension_data(m_connection, &xcb_res_id);
    if (resource && resource->present) {
        xcb_generic_error_t *error = nullptr;
        Reply<xcb_res_query_version_reply_t> version(xcb_res_query_version_reply(
            m_connection, xcb_res_query_version(m_connection, 1, 2), &error));
        m_resourceExtension = version && !error &&
                              (version->server_major > 1 ||
                               (version->server_major == 1 && version->server_minor >= 2));
        std::free(error);
    }
}

xcb_atom_t X11WindowSystem::intern(const char *name)
{
    xcb_intern_atom_cookie_t cookie =
        xcb_intern_atom(m_connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name);
    xcb_generic_error_t *error = nullptr;
    Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(m_connection, cookie, &error));
    std::free(error);
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

bool X11WindowSystem::connected()
{
    connectOnce();
    if (!m_connection || !m_ewmhReady || m_root == XCB_WINDOW_NONE ||
        xcb_connection_has_error(m_connection)) {
        if (!m_reported) {
            std::fprintf(stderr, "TimoraDesk: lost the connection to the X display; the "
                                 "foreground guard stops\n");
            m_reported = true;
        }
        return false;
    }
    // Nobody reads this connection's events; drop whatever the server sent unasked.
    while (xcb_generic_event_t *event = xcb_poll_for_event(m_connection))
        std::free(event);
    return true;
}

bool X11WindowSystem::readProperty(xcb_window_t window, xcb_atom_t property, xcb_atom_t type,
                                   std::uint32_t longLength, QByteArray &value,
                                   xcb_atom_t *actualType)
{
    return takeProperty(xcb_get_property(m_connection, 0, window, property, type, 0, longLength),
                        type, value, actualType);
}

bool X11WindowSystem::takeProperty(xcb_get_property_cookie_t cookie, xcb_atom_t type,
                                   QByteArray &value, xcb_atom_t *actualType)
{
    value.clear();
    if (actualType)
        *actualType = XCB_ATOM_NONE;
    xcb_generic_error_t *error = nullptr;
    Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(m_connection, cookie, &error));
    if (error || !reply) {
        std::free(error);
        return false;
    }
    if (actualType)
        *actualType = reply->type;
    if (reply->type != XCB_ATOM_NONE && (type == XCB_GET_PROPERTY_TYPE_ANY || reply->type == type))
        value = QByteArray(static_cast<const char *>(xcb_get_property_value(reply.get())),
                           xcb_get_property_value_length(reply.get()));
    return true;
}

bool X11WindowSystem::hasProperty(xcb_window_t window, xcb_atom_t property)
{
    xcb_atom_t type = XCB_ATOM_NONE;
    QByteArray value;
    return readProperty(window, property, XCB_GET_PROPERTY_TYPE_ANY, 0, value, &type) &&
           type != XCB_ATOM_NONE;
}

bool X11WindowSystem::windowManagerRunning()
{
    if (!connected())
        return false;
    // The window manager names a window of its own on the root, and that window names itself.
    const xcb_window_t check = windowManagerCheck(m_root);
    return check != XCB_WINDOW_NONE && windowManagerCheck(check) == check;
}

xcb_window_t X11WindowSystem::windowManagerCheck(xcb_window_t of)
{
    QByteArray value;
    if (!readProperty(of, m_ewmh._NET_SUPPORTING_WM_CHECK, XCB_ATOM_WINDOW, 1, value) ||
        value.size() < 4)
        return XCB_WINDOW_NONE;
    xcb_window_t check = XCB_WINDOW_NONE;
    std::memcpy(&check, value.constData(), sizeof check);
    return check;
}

xcb_window_t X11WindowSystem::topLevelOf(xcb_window_t window)
{
    for (int depth = 0; depth < MaxTreeDepth && window != XCB_WINDOW_NONE; ++depth) {
        if (window == m_root)
            return XCB_WINDOW_NONE;
        xcb_generic_error_t *error = nullptr;
        Reply<xcb_query_tree_reply_t> tree(
            xcb_query_tree_reply(m_connection, xcb_query_tree(m_connection, window), &error));
        if (error || !tree) {
            std::free(error);
            return XCB_WINDOW_NONE;
        }
        if (tree->parent == m_root || tree->parent == XCB_WINDOW_NONE)
            return window;
        window = tree->parent;
    }
    return XCB_WINDOW_NONE;
}

xcb_window_t X11WindowSystem::clientWindowOf(xcb_window_t topLevel)
{
    // An application window carries WM_STATE once a window manager manages it; without one
    // nothing carries it and the top-level is the application window.
    QList<xcb_window_t> queue{topLevel};
    for (int seen = 0; !queue.isEmpty() && seen < MaxSearchedWindows; ++seen) {
        const xcb_window_t window = queue.takeFirst();
        if (hasProperty(window, m_wmState))
            return window;
        xcb_generic_error_t *error = nullptr;
        Reply<xcb_query_tree_reply_t> tree(
            xcb_query_tree_reply(m_connection, xcb_query_tree(m_connection, window), &error));
        std::free(error);
        if (!tree)
            continue;
        const xcb_window_t *children = xcb_query_tree_children(tree.get());
        for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i)
            queue.append(children[i]);
    }
    return topLevel;
}

WindowSystem::WindowId X11WindowSystem::foregroundWindow()
{
    if (!connected())
        return NoWindow;
    // The X server's own input focus: the root's _NET_ACTIVE_WINDOW is written by whoever likes.
    // When the focus follows the pointer, the window under it; either way taken up to its
    // top-level window and the application window inside.
    xcb_generic_error_t *error = nullptr;
    Reply<xcb_get_input_focus_reply_t> focus(
        xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), &error));
    if (error || !focus) {
        std::free(error);
        return NoWindow;
    }
    xcb_window_t window = focus->focus;
    if (window == XCB_INPUT_FOCUS_POINTER_ROOT) {
        Reply<xcb_query_pointer_reply_t> pointer(
            xcb_query_pointer_reply(m_connection, xcb_query_pointer(m_connection, m_root), &error));
        std::free(error);
        window = pointer ? pointer->child : xcb_window_t(XCB_WINDOW_NONE);
    }
    if (window == XCB_WINDOW_NONE || window == m_root)
        return NoWindow;
    const xcb_window_t topLevel = topLevelOf(window);
    if (topLevel == XCB_WINDOW_NONE)
        return NoWindow;
    const xcb_window_t client = clientWindowOf(topLevel);
    // The focus on a window of another program inside an application window (any client may
    // make a window inside another's) is that program's window in front.
    if (!sameClient(window, client) && !isWindowManagers(window))
        return window;
    // The window manager holds the focus itself when no window has it.
    if (isWindowManagers(client))
        return NoWindow;
    return client;
}

WindowSystem::Maker X11WindowSystem::makerOf(WindowId window)
{
    if (window == NoWindow || !connected())
        return Maker::Other;
    if (isOwnWindow(window))
        return Maker::Program;
    const std::uint32_t pid = processOf(window);
    if (pid != 0 && StartedPrograms::includes(pid))
        return Maker::StartedProgram;
    return Maker::Other;
}

namespace {

// The X-Resource request's element type (a client and the kinds of id wanted of it), taken from
// the request's own signature.
template<typename Request> struct QueryOf;
template<typename Cookie, typename Count, typename Query>
struct QueryOf<Cookie (*)(xcb_connection_t *, Count, const Query *)>
{
    using type = Query;
};
using ClientIdQuery = QueryOf<decltype(&xcb_res_query_client_ids)>::type;

} // namespace

std::uint32_t X11WindowSystem::processOf(xcb_window_t window)
{
    if (!m_resourceExtension)
        return 0;
    // Only the process id of the window's client is asked for, so every id in the answer is one.
    const ClientIdQuery query{window, XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID};
    xcb_generic_error_t *error = nullptr;
    Reply<xcb_res_query_client_ids_reply_t> reply(xcb_res_query_client_ids_reply(
        m_connection, xcb_res_query_client_ids(m_connection, 1, &query), &error));
    if (error || !reply) {
        std::free(error);
        return 0;
    }
    for (xcb_res_client_id_value_iterator_t ids =
             xcb_res_query_client_ids_ids_iterator(reply.get());
         ids.rem > 0; xcb_res_client_id_value_next(&ids)) {
        if (xcb_res_client_id_value_value_length(ids.data) >= 1)
            return *xcb_res_client_id_value_value(ids.data);
    }
    return 0;
}

bool X11WindowSystem::shownRectangle(xcb_window_t window, int &x, int &y, int &width, int &height)
{
    const auto attributesCookie = xcb_get_window_attributes(m_connection, window);
    const auto geometryCookie = xcb_get_geometry(m_connection, window);
    xcb_generic_error_t *error = nullptr;
    Reply<xcb_get_window_attributes_reply_t> attributes(
        xcb_get_window_attributes_reply(m_connection, attributesCookie, &error));
    std::free(error);
    error = nullptr;
    Reply<xcb_get_geometry_reply_t> geometry(
        xcb_get_geometry_reply(m_connection, geometryCookie, &error));
    std::free(error);
    if (!attributes || !geometry || attributes->map_state != XCB_MAP_STATE_VIEWABLE ||
        attributes->_class == XCB_WINDOW_CLASS_INPUT_ONLY)
        return false;
    x = geometry->x;
    y = geometry->y;
    width = geometry->width + 2 * geometry->border_width;
    height = geometry->height + 2 * geometry->border_width;
    return true;
}

QList<WindowSystem::WindowId> X11WindowSystem::windowsCovering(WindowId window)
{
    QList<WindowId> covering;
    if (window == NoWindow || !connected())
        return covering;
    const xcb_window_t topLevel = topLevelOf(window);
    int x = 0, y = 0, width = 0, height = 0;
    if (topLevel == XCB_WINDOW_NONE || !shownRectangle(topLevel, x, y, width, height))
        return covering;
    const auto foreign = [&](xcb_window_t w) {
        return !isOwnWindow(w) && !isWindowManagers(w) && !covering.contains(w);
    };

    // Windows of other programs made inside the guarded window (or its frame).
    QList<xcb_window_t> queue{topLevel};
    for (int seen = 0; !queue.isEmpty() && seen < MaxSearchedWindows; ++seen) {
        const xcb_window_t inside = queue.takeFirst();
        xcb_generic_error_t *error = nullptr;
        Reply<xcb_query_tree_reply_t> tree(
            xcb_query_tree_reply(m_connection, xcb_query_tree(m_connection, inside), &error));
        std::free(error);
        if (!tree)
            continue;
        const xcb_window_t *children = xcb_query_tree_children(tree.get());
        for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i) {
            int cx = 0, cy = 0, cw = 0, ch = 0;
            if (foreign(children[i]) && shownRectangle(children[i], cx, cy, cw, ch))
                covering.append(children[i]);
            else
                queue.append(children[i]);
        }
    }

    // The top-level windows stacked above it that overlap it, topmost first.
    xcb_generic_error_t *error = nullptr;
    Reply<xcb_query_tree_reply_t> tree(
        xcb_query_tree_reply(m_connection, xcb_query_tree(m_connection, m_root), &error));
    std::free(error);
    if (!tree)
        return covering;
    const xcb_window_t *children = xcb_query_tree_children(tree.get());
    const int count = xcb_query_tree_children_length(tree.get());
    for (int i = count - 1; i >= 0 && children[i] != topLevel; --i) {
        int ox = 0, oy = 0, ow = 0, oh = 0;
        if (!shownRectangle(children[i], ox, oy, ow, oh))
            continue;
        const bool overlaps = ox < x + width && x < ox + ow && oy < y + height && y < oy + oh;
        if (!overlaps)
            continue;
        // A window manager's frame stands for the application window inside it; a frame with
        // none is the window manager's own.
        const xcb_window_t client = clientWindowOf(children[i]);
        if (foreign(client))
            covering.append(client);
    }
    return covering;
}

std::optional<QString> X11WindowSystem::titleOf(WindowId window)
{
    if (window == NoWindow || !connected())
        return std::nullopt;
    QByteArray name;
    if (!readProperty(window, m_ewmh._NET_WM_NAME, m_ewmh.UTF8_STRING, Utf8TitleWords, name))
        return std::nullopt;
    if (!name.isEmpty())
        return cutTitle(QString::fromUtf8(name));

    xcb_atom_t type = XCB_ATOM_NONE;
    if (!readProperty(window, XCB_ATOM_WM_NAME, XCB_GET_PROPERTY_TYPE_ANY, Latin1TitleWords, name,
                      &type))
        return std::nullopt;
    // Some programs put UTF-8 into WM_NAME and say so; the rest is Latin-1 (or text that reads
    // the same as Latin-1).
    return cutTitle(type == m_ewmh.UTF8_STRING ? QString::fromUtf8(name)
                                               : QString::fromLatin1(name));
}

bool X11WindowSystem::sendClientMessage(xcb_window_t destination, std::uint32_t eventMask,
                                        xcb_window_t window, xcb_atom_t type,
                                        std::initializer_list<std::uint32_t> data)
{
    xcb_client_message_event_t event;
    std::memset(&event, 0, sizeof event);
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = type;
    int i = 0;
    for (std::uint32_t word : data)
        event.data.data32[i++] = word;
    xcb_void_cookie_t cookie = xcb_send_event_checked(m_connection, 0, destination, eventMask,
                                                      reinterpret_cast<const char *>(&event));
    xcb_generic_error_t *error = xcb_request_check(m_connection, cookie);
    const bool sent = error == nullptr && !xcb_connection_has_error(m_connection);
    std::free(error);
    return sent;
}

void X11WindowSystem::askToClose(WindowId window)
{
    if (window == NoWindow || window == m_root || !connected())
        return;
    xcb_icccm_get_wm_protocols_reply_t protocols;
    xcb_generic_error_t *error = nullptr;
    const bool listed =
        xcb_icccm_get_wm_protocols_reply(
            m_connection, xcb_icccm_get_wm_protocols(m_connection, window, m_wmProtocols),
            &protocols, &error) == 1;
    if (error || (!listed && xcb_connection_has_error(m_connection))) {
        // The window is gone: there is nobody to ask.
        std::free(error);
        return;
    }
    bool offersDelete = false;
    if (listed) {
        for (std::uint32_t i = 0; i < protocols.atoms_len; ++i)
            offersDelete = offersDelete || protocols.atoms[i] == m_wmDeleteWindow;
        xcb_icccm_get_wm_protocols_reply_wipe(&protocols);
    }
    if (offersDelete) {
        sendClientMessage(window, XCB_EVENT_MASK_NO_EVENT, window, m_wmProtocols,
                          {m_wmDeleteWindow, XCB_CURRENT_TIME});
    } else {
        sendClientMessage(m_root,
                          XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                          window, m_ewmh._NET_CLOSE_WINDOW, {XCB_CURRENT_TIME, SourceDirectAction});
    }
}

bool X11WindowSystem::isOwnWindow(xcb_window_t window)
{
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t *own = x11 ? x11->connection() : nullptr;
    if (!own)
        return false;
    // The server hands every connection a range of ids of its own for what it makes.
    const xcb_setup_t *setup = xcb_get_setup(own);
    return (window & ~setup->resource_id_mask) == setup->resource_id_base;
}

bool X11WindowSystem::sameClient(xcb_window_t a, xcb_window_t b)
{
    // The server hands every client a range of ids of its own for what it makes.
    const std::uint32_t mask = xcb_get_setup(m_connection)->resource_id_mask;
    return (a & ~mask) == (b & ~mask);
}

bool X11WindowSystem::isWindowManagers(xcb_window_t window)
{
    if (m_wmSelection == XCB_ATOM_NONE)
        return false;
    xcb_generic_error_t *error = nullptr;
    Reply<xcb_get_selection_owner_reply_t> owner(xcb_get_selection_owner_reply(
        m_connection, xcb_get_selection_owner(m_connection, m_wmSelection), &error));
    std::free(error);
    return owner && owner->owner != XCB_WINDOW_NONE && sameClient(owner->owner, window);
}

bool X11WindowSystem::exists(xcb_window_t window)
{
    xcb_generic_error_t *error = nullptr;
    Reply<xcb_get_window_attributes_reply_t> attributes(xcb_get_window_attributes_reply(
        m_connection, xcb_get_window_attributes(m_connection, window), &error));
    std::free(error);
    return attributes && !error;
}

bool X11WindowSystem::forceClose(WindowId window)
{
    if (window == NoWindow || window == m_root || !connected())
        return false;
    // Docks and desktops of other programs go like any other window: while the logon window
    // waits nothing else belongs on the screen.
    if (isOwnWindow(window) || isWindowManagers(window))
        return false;
    // Only a window that still exists names a program to remove.
    if (!exists(window))
        return false;
    xcb_generic_error_t *error =
        xcb_request_check(m_connection, xcb_kill_client_checked(m_connection, window));
    const bool removed = error == nullptr && !xcb_connection_has_error(m_connection);
    std::free(error);
    return removed;
}

bool X11WindowSystem::waitUntilNotInFront(WindowId window, int timeoutMs)
{
    // The program's own windows cannot react while the caller holds its only thread.
    if (isOwnWindow(window))
        return foregroundWindow() != window;
    QElapsedTimer clock;
    clock.start();
    // A window manager may go on naming a window that is gone until it has another to name.
    while (foregroundWindow() == window && exists(window)) {
        if (clock.elapsed() >= timeoutMs || !connected())
            return false;
        QThread::msleep(WaitStepMs);
    }
    return true;
}

std::optional<QString> X11WindowSystem::desktopTitle()
{
    if (!connected())
        return std::nullopt;
    QList<xcb_window_t> candidates;
    QByteArray value;
    if (windowManagerRunning() &&
        readProperty(m_root, m_ewmh._NET_CLIENT_LIST, XCB_ATOM_WINDOW, 4096, value)) {
        for (qsizetype at = 0; at + 4 <= value.size(); at += 4) {
            xcb_window_t window = 0;
            std::memcpy(&window, value.constData() + at, sizeof window);
            candidates.append(window);
        }
    } else {
        xcb_generic_error_t *error = nullptr;
        Reply<xcb_query_tree_reply_t> tree(
            xcb_query_tree_reply(m_connection, xcb_query_tree(m_connection, m_root), &error));
        std::free(error);
        if (tree) {
            const xcb_window_t *children = xcb_query_tree_children(tree.get());
            for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i)
                candidates.append(children[i]);
        }
    }
    for (xcb_window_t window : candidates) {
        if (!readProperty(window, m_ewmh._NET_WM_WINDOW_TYPE, XCB_ATOM_ATOM, 32, value))
            continue;
        for (qsizetype at = 0; at + 4 <= value.size(); at += 4) {
            xcb_atom_t type = XCB_ATOM_NONE;
            std::memcpy(&type, value.constData() + at, sizeof type);
            if (type == m_ewmh._NET_WM_WINDOW_TYPE_DESKTOP) {
                if (std::optional<QString> title = titleOf(window))
                    return title;
            }
        }
    }
    return std::nullopt;
}
