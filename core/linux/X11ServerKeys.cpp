#include "X11ServerKeys.h"

#include "QtX11Connection.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <xcb/xcbext.h>
// xcb's XKB header names a member "explicit", a C++ keyword.
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit

namespace {

static_assert(sizeof(xcb_xkb_action_t) == 8);

// Not named by xcb: the X server's private actions (grab breaking, video mode switching).
constexpr std::uint8_t XFree86PrivateAction = 0x86;

bool isServerAction(const xcb_xkb_action_t &action)
{
    return action.type == XCB_XKB_SA_TYPE_SWITCH_SCREEN ||
           action.type == XCB_XKB_SA_TYPE_TERMINATE || action.type == XFree86PrivateAction;
}

struct FreeReply
{
    void operator()(void *reply) const { std::free(reply); }
};

xcb_xkb_get_map_cookie_t requestKeyActions(xcb_connection_t *connection)
{
    return xcb_xkb_get_map(connection, XCB_XKB_ID_USE_CORE_KBD, XCB_XKB_MAP_PART_KEY_ACTIONS, 0, 0,
                           0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0);
}

// The key actions of the keyboard map as the X server sent them, to be read and changed in
// place and sent back for a range of keys.
class KeyActions
{
public:
    explicit KeyActions(void *reply) : m_reply(static_cast<xcb_xkb_get_map_reply_t *>(reply))
    {
        if (!m_reply)
            return;
        xcb_xkb_get_map_reply_t *r = m_reply.get();
        xcb_xkb_get_map_map_unpack(xcb_xkb_get_map_map(r), r->nTypes, r->nKeySyms, r->nKeyActions,
                                   r->totalActions, r->totalKeyBehaviors, r->virtualMods,
                                   r->totalKeyExplicit, r->totalModMapKeys, r->totalVModMapKeys,
                                   r->present, &m_map);
        int offset = 0;
        for (int i = 0; i < r->nKeyActions; ++i) {
            m_offsets[i] = offset;
            offset += m_map.acts_rtrn_count[i];
        }
        m_valid = (r->present & XCB_XKB_MAP_PART_KEY_ACTIONS) && offset == r->totalActions;
    }

    bool valid() const { return m_valid; }

    template<typename Visit> void forEach(Visit visit)
    {
        for (int i = 0; i < m_reply->nKeyActions; ++i) {
            for (int a = 0; a < m_map.acts_rtrn_count[i]; ++a)
                visit(m_reply->firstKeyAction + i, a, m_map.acts_rtrn_acts[m_offsets[i] + a]);
        }
    }

    // The action, nullptr when the key has no such action (the map changed since).
    xcb_xkb_action_t *at(int key, int index)
    {
        const int i = key - m_reply->firstKeyAction;
        if (i < 0 || i >= m_reply->nKeyActions || index >= m_map.acts_rtrn_count[i])
            return nullptr;
        return &m_map.acts_rtrn_acts[m_offsets[i] + index];
    }

    // Sends the actions of the keys first…last back; the cookie of the checked request.
    xcb_void_cookie_t write(xcb_connection_t *connection, int first, int last)
    {
        const int from = first - m_reply->firstKeyAction;
        const int keys = last - first + 1;
        int total = 0;
        for (int i = from; i < from + keys; ++i)
            total += m_map.acts_rtrn_count[i];
        xcb_xkb_set_map_values_t values;
        std::memset(&values, 0, sizeof values);
        values.actionsCount = m_map.acts_rtrn_count + from;
        values.actions = m_map.acts_rtrn_acts + m_offsets[from];
        return xcb_xkb_set_map_aux_checked(
            connection, XCB_XKB_ID_USE_CORE_KBD, XCB_XKB_MAP_PART_KEY_ACTIONS, 0,
            m_reply->minKeyCode, m_reply->maxKeyCode, 0, 0, 0, 0, 0,
            static_cast<xcb_keycode_t>(first), static_cast<std::uint8_t>(keys),
            static_cast<std::uint16_t>(total), 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, &values);
    }

private:
    std::unique_ptr<xcb_xkb_get_map_reply_t, FreeReply> m_reply;
    xcb_xkb_get_map_map_t m_map{};
    int m_offsets[256] = {};
    bool m_valid = false;
};

// Sees the X server's announcements of a new or changed keyboard map on the program's own
// connection (Qt asks for them for its own keyboard handling).
class MapChangeWatch : public QAbstractNativeEventFilter
{
public:
    MapChangeWatch(std::uint8_t xkbEvent, std::function<void()> callback)
        : m_xkbEvent(xkbEvent), m_callback(std::move(callback))
    {}

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *) override
    {
        if (eventType != "xcb_generic_event_t")
            return false;
        const auto *event = static_cast<const xcb_xkb_map_notify_event_t *>(message);
        if ((event->response_type & 0x7f) == m_xkbEvent &&
            (event->xkbType == XCB_XKB_MAP_NOTIFY || event->xkbType == XCB_XKB_NEW_KEYBOARD_NOTIFY))
            m_callback();
        return false;
    }

private:
    std::uint8_t m_xkbEvent;
    std::function<void()> m_callback;
};

} // namespace

X11ServerKeys::X11ServerKeys() = default;

X11ServerKeys::~X11ServerKeys()
{
    if (m_mapWatch && qApp)
        qApp->removeNativeEventFilter(m_mapWatch.get());
}

bool X11ServerKeys::fail(const QString &why)
{
    m_error = why;
    m_readPending = 0;
    m_writePending = 0;
    m_readAgain = false;
    return false;
}

void X11ServerKeys::whenMapChanges(std::function<void()> callback)
{
    xcb_connection_t *connection = qtX11Connection();
    if (!connection || !qApp)
        return;
    const xcb_query_extension_reply_t *xkb = xcb_get_extension_data(connection, &xcb_xkb_id);
    if (!xkb || !xkb->present)
        return;
    if (m_mapWatch)
        qApp->removeNativeEventFilter(m_mapWatch.get());
    m_mapWatch = std::make_unique<MapChangeWatch>(xkb->first_event, std::move(callback));
    qApp->installNativeEventFilter(m_mapWatch.get());
}

bool X11ServerKeys::requestTurnOff()
{
    // The answer on its way may have been read before the change: read once more after it.
    if (m_readPending || m_writePending) {
        m_readAgain = true;
        return true;
    }
    xcb_connection_t *connection = qtX11Connection();
    if (!connection)
        return fail(QStringLiteral("no X display"));
    const xcb_query_extension_reply_t *xkb = xcb_get_extension_data(connection, &xcb_xkb_id);
    if (!xkb || !xkb->present)
        return fail(QStringLiteral("the X server has no XKB"));
    m_readPending = requestKeyActions(connection).sequence;
    xcb_flush(connection);
    return true;
}

namespace {

// Takes the answer to a request: waits for it, or only looks whether it is there.
bool fetch(xcb_connection_t *connection, unsigned int sequence, bool wait, void **reply,
           xcb_generic_error_t **error)
{
    if (wait) {
        *reply = xcb_wait_for_reply(connection, sequence, error);
        return true;
    }
    return xcb_poll_for_reply(connection, sequence, reply, error) != 0;
}

} // namespace

X11ServerKeys::Progress X11ServerKeys::poll()
{
    return advance(false);
}

bool X11ServerKeys::finishTurnOff()
{
    return advance(true) == Progress::Done;
}

X11ServerKeys::Progress X11ServerKeys::advance(bool wait)
{
    if (!m_readPending && !m_writePending)
        return m_off ? Progress::Done : Progress::Failed;
    xcb_connection_t *connection = qtX11Connection();
    if (!connection) {
        fail(QStringLiteral("no X display"));
        return Progress::Failed;
    }
    void *reply = nullptr;
    xcb_generic_error_t *error = nullptr;
    if (m_readPending) {
        if (!fetch(connection, m_readPending, wait, &reply, &error))
            return Progress::Pending;
        m_readPending = 0;
        KeyActions map(reply);
        const bool read = error == nullptr && map.valid();
        std::free(error);
        if (!read) {
            fail(QStringLiteral("the keyboard map cannot be read"));
            return Progress::Failed;
        }
        int first = 256, last = -1;
        m_pendingRemoved.clear();
        map.forEach([&](int key, int index, xcb_xkb_action_t &action) {
            if (!isServerAction(action))
                return;
            Removed entry{key, index, {}};
            std::memcpy(entry.action.data(), &action, sizeof action);
            m_pendingRemoved.append(entry);
            std::memset(&action, 0, sizeof action);
            action.type = XCB_XKB_SA_TYPE_NO_ACTION;
            first = std::min(first, key);
            last = std::max(last, key);
        });
        // The map is written only when it still holds one of the server's actions.
        if (m_pendingRemoved.isEmpty()) {
            m_off = true;
            return readAgainIfAsked(wait);
        }
        m_writePending = map.write(connection, first, last).sequence;
        // The answer to a request sent after the write tells that the server has dealt with it.
        m_syncPending = xcb_get_input_focus(connection).sequence;
        xcb_flush(connection);
    }
    if (m_writePending) {
        if (!fetch(connection, m_syncPending, wait, &reply, &error))
            return Progress::Pending;
        std::free(reply);
        std::free(error);
        m_syncPending = 0;
        error = xcb_request_check(connection, xcb_void_cookie_t{m_writePending});
        m_writePending = 0;
        if (error) {
            std::free(error);
            fail(QStringLiteral("the X server refused the keyboard map"));
            return Progress::Failed;
        }
        // Keeps what an earlier call removed: a later call finds only actions that came back
        // with a newly loaded keyboard map.
        m_removed.append(m_pendingRemoved);
        m_pendingRemoved.clear();
    }
    m_off = true;
    return readAgainIfAsked(wait);
}

X11ServerKeys::Progress X11ServerKeys::readAgainIfAsked(bool wait)
{
    if (!m_readAgain)
        return Progress::Done;
    m_readAgain = false;
    if (!requestTurnOff())
        return Progress::Failed;
    return advance(wait);
}

bool X11ServerKeys::turnOn()
{
    // A turn-off still on its way is seen through first, so that what it removes comes back.
    if (m_readPending || m_writePending)
        finishTurnOff();
    if (!m_off)
        return true;
    xcb_connection_t *connection = qtX11Connection();
    if (!connection)
        return fail(QStringLiteral("no X display"));
    xcb_generic_error_t *error = nullptr;
    KeyActions map(xcb_xkb_get_map_reply(connection, requestKeyActions(connection), &error));
    const bool read = error == nullptr && map.valid();
    std::free(error);
    if (!read)
        return fail(QStringLiteral("the keyboard map cannot be read"));
    int first = 256, last = -1;
    for (const Removed &entry : std::as_const(m_removed)) {
        xcb_xkb_action_t *action = map.at(entry.key, entry.index);
        // Leave alone what someone else has put there since.
        if (!action || action->type != XCB_XKB_SA_TYPE_NO_ACTION)
            continue;
        std::memcpy(action, entry.action.data(), sizeof *action);
        first = std::min(first, entry.key);
        last = std::max(last, entry.key);
    }
    if (first <= last) {
        error = xcb_request_check(connection, map.write(connection, first, last));
        if (error) {
            std::free(error);
            return fail(QStringLiteral("the X server refused the keyboard map"));
        }
    }
    m_removed.clear();
    m_off = false;
    return true;
}

int X11ServerKeys::actionsInMap()
{
    xcb_connection_t *connection = qtX11Connection();
    if (!connection)
        return -1;
    xcb_generic_error_t *error = nullptr;
    KeyActions map(xcb_xkb_get_map_reply(connection, requestKeyActions(connection), &error));
    const bool read = error == nullptr && map.valid();
    std::free(error);
    if (!read)
        return -1;
    int count = 0;
    map.forEach([&](int, int, xcb_xkb_action_t &action) {
        if (isServerAction(action))
            ++count;
    });
    return count;
}
