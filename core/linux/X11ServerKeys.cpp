#include "X11ServerKeys.h"

#include <X11/XKBlib.h>
#include <cstring>

namespace {

static_assert(sizeof(XkbAction) == 8);

int s_errors = 0;

int countError(Display *, XErrorEvent *)
{
    ++s_errors;
    return 0;
}

bool isServerAction(const XkbAction &action)
{
    return action.type == XkbSA_SwitchScreen || action.type == XkbSA_Terminate ||
           action.type == XkbSA_XFree86Private;
}

// One look at the keyboard map through a display connection of its own. Errors are counted
// here instead of ending the program, as Xlib's default handler would.
class KeyboardMap
{
public:
    explicit KeyboardMap(const QByteArray &displayName)
    {
        int event = 0, error = 0, major = XkbMajorVersion, minor = XkbMinorVersion;
        int reason = 0;
        m_display = XkbOpenDisplay(displayName.isEmpty() ? nullptr : displayName.data(), &event,
                                   &error, &major, &minor, &reason);
        if (!m_display) {
            m_error = reason == XkbOD_NonXkbServer ? QStringLiteral("the X server has no XKB")
                                                   : QStringLiteral("no X display");
            return;
        }
        m_previousHandler = XSetErrorHandler(countError);
        s_errors = 0;
        m_map = XkbGetMap(m_display, XkbKeyTypesMask | XkbKeySymsMask | XkbKeyActionsMask,
                          XkbUseCoreKbd);
        if (!m_map)
            m_error = QStringLiteral("the keyboard map cannot be read");
    }

    ~KeyboardMap()
    {
        if (m_map)
            XkbFreeKeyboard(m_map, 0, True);
        if (m_display) {
            XSync(m_display, False);
            XSetErrorHandler(m_previousHandler);
            XCloseDisplay(m_display);
        }
    }

    bool ready() const { return m_map != nullptr; }
    QString error() const { return m_error; }
    XkbDescPtr map() const { return m_map; }

    template<typename Visit> void forEachAction(Visit visit)
    {
        for (int key = m_map->min_key_code; key <= m_map->max_key_code; ++key) {
            if (!XkbKeyHasActions(m_map, key))
                continue;
            XkbAction *actions = XkbKeyActionsPtr(m_map, key);
            const int count = XkbKeyNumActions(m_map, key);
            for (int i = 0; i < count; ++i)
                visit(key, i, actions[i]);
        }
    }

    // Sends the actions of the keys first…last back to the server.
    bool write(int first, int last)
    {
        if (first > last)
            return true;
        XkbMapChangesRec changes;
        std::memset(&changes, 0, sizeof changes);
        changes.changed = XkbKeyActionsMask;
        changes.first_key_act = static_cast<KeyCode>(first);
        changes.num_key_acts = static_cast<unsigned char>(last - first + 1);
        const bool sent = XkbChangeMap(m_display, m_map, &changes);
        XSync(m_display, False);
        if (!sent || s_errors > 0) {
            m_error = QStringLiteral("the X server refused the keyboard map");
            return false;
        }
        return true;
    }

private:
    Display *m_display = nullptr;
    XkbDescPtr m_map = nullptr;
    XErrorHandler m_previousHandler = nullptr;
    QString m_error;
};

} // namespace

bool X11ServerKeys::turnOff()
{
    KeyboardMap keyboard(m_displayName);
    if (!keyboard.ready()) {
        m_error = keyboard.error();
        return false;
    }
    int first = 256, last = -1;
    QList<Removed> removed;
    keyboard.forEachAction([&](int key, int index, XkbAction &action) {
        if (!isServerAction(action))
            return;
        Removed entry{key, index, {}};
        std::memcpy(entry.action.data(), &action, sizeof action);
        removed.append(entry);
        std::memset(&action, 0, sizeof action);
        action.type = XkbSA_NoAction;
        first = std::min(first, key);
        last = std::max(last, key);
    });
    if (!keyboard.write(first, last)) {
        m_error = keyboard.error();
        return false;
    }
    // Keeps what an earlier call removed: a second call finds only actions that came back
    // with a newly loaded keyboard map.
    m_removed.append(removed);
    m_off = true;
    return true;
}

bool X11ServerKeys::turnOn()
{
    if (!m_off)
        return true;
    KeyboardMap keyboard(m_displayName);
    if (!keyboard.ready()) {
        m_error = keyboard.error();
        return false;
    }
    int first = 256, last = -1;
    XkbDescPtr map = keyboard.map();
    for (const Removed &entry : std::as_const(m_removed)) {
        if (entry.key < map->min_key_code || entry.key > map->max_key_code ||
            !XkbKeyHasActions(map, entry.key) || entry.index >= XkbKeyNumActions(map, entry.key))
            continue;
        XkbAction &action = XkbKeyActionsPtr(map, entry.key)[entry.index];
        // Leave alone what someone else has put there since.
        if (action.type != XkbSA_NoAction)
            continue;
        std::memcpy(&action, entry.action.data(), sizeof action);
        first = std::min(first, entry.key);
        last = std::max(last, entry.key);
    }
    if (!keyboard.write(first, last)) {
        m_error = keyboard.error();
        return false;
    }
    m_removed.clear();
    m_off = false;
    return true;
}

int X11ServerKeys::actionsInMap() const
{
    KeyboardMap keyboard(m_displayName);
    if (!keyboard.ready())
        return -1;
    int count = 0;
    keyboard.forEachAction([&](int, int, XkbAction &action) {
        if (isServerAction(action))
            ++count;
    });
    return count;
}
