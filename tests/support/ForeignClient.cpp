#include "ForeignClient.h"

#include "X11Display.h"
#include "core/services/WindowSystem.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <xcb/xcb_icccm.h>

ForeignClient::ForeignClient(const QByteArray &display, const Options &options)
{
    int screenNumber = 0;
    m_connection = xcb_connect(display.constData(), &screenNumber);
    if (xcb_connection_has_error(m_connection))
        return;
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(m_connection));
    for (int i = 0; i < screenNumber; ++i)
        xcb_screen_next(&screens);
    m_root = screens.data->root;

    m_window = xcb_generate_id(m_connection);
    const std::uint32_t values[] = {screens.data->white_pixel, XCB_EVENT_MASK_KEY_PRESS |
                                                                   XCB_EVENT_MASK_STRUCTURE_NOTIFY |
                                                                   XCB_EVENT_MASK_FOCUS_CHANGE};
    xcb_create_window(m_connection, XCB_COPY_FROM_PARENT, m_window, m_root, 50, 50, 240, 120, 1,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screens.data->root_visual,
                      XCB_CW_BACK_PIXEL | XCB_CW_EVENT_MASK, values);

    const QByteArray latin1 = options.title.toLatin1();
    xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, m_window, XCB_ATOM_WM_NAME,
                        XCB_ATOM_STRING, 8, latin1.size(), latin1.constData());
    if (!options.latin1TitleOnly) {
        const QByteArray utf8 = options.title.toUtf8();
        xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, m_window, atom("_NET_WM_NAME"),
                            atom("UTF8_STRING"), 8, utf8.size(), utf8.constData());
    }
    m_whenAsked = options.whenAsked;
    m_renameTo = options.renameTo;
    m_deleteWindow = atom("WM_DELETE_WINDOW");
    if (options.offersDelete)
        xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, m_window, atom("WM_PROTOCOLS"),
                            XCB_ATOM_ATOM, 32, 1, &m_deleteWindow);
    if (options.desktopType || options.dockType) {
        const xcb_atom_t type =
            atom(options.desktopType ? "_NET_WM_WINDOW_TYPE_DESKTOP" : "_NET_WM_WINDOW_TYPE_DOCK");
        xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, m_window,
                            atom("_NET_WM_WINDOW_TYPE"), XCB_ATOM_ATOM, 32, 1, &type);
    }
    xcb_flush(m_connection);
}

ForeignClient::~ForeignClient()
{
    xcb_disconnect(m_connection);
}

xcb_atom_t ForeignClient::atom(const char *name) const
{
    xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(
        m_connection,
        xcb_intern_atom(m_connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name),
        nullptr);
    const xcb_atom_t result = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return result;
}

void ForeignClient::setTitle(const QString &title)
{
    const QByteArray latin1 = title.toLatin1();
    xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, m_window, XCB_ATOM_WM_NAME,
                        XCB_ATOM_STRING, 8, latin1.size(), latin1.constData());
    const QByteArray utf8 = title.toUtf8();
    xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, m_window, atom("_NET_WM_NAME"),
                        atom("UTF8_STRING"), 8, utf8.size(), utf8.constData());
    xcb_flush(m_connection);
}

void ForeignClient::place(int x, int y, int width, int height)
{
    const std::uint32_t values[] = {std::uint32_t(x), std::uint32_t(y), std::uint32_t(width),
                                    std::uint32_t(height)};
    xcb_configure_window(m_connection, m_window,
                         XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y | XCB_CONFIG_WINDOW_WIDTH |
                             XCB_CONFIG_WINDOW_HEIGHT,
                         values);
    // Placed by the user: the window manager keeps it there.
    xcb_size_hints_t hints;
    std::memset(&hints, 0, sizeof hints);
    xcb_icccm_size_hints_set_position(&hints, 1, x, y);
    xcb_icccm_size_hints_set_size(&hints, 1, width, height);
    xcb_icccm_set_wm_normal_hints(m_connection, m_window, &hints);
    xcb_flush(m_connection);
}

void ForeignClient::nameActive(xcb_window_t window)
{
    xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, m_root, atom("_NET_ACTIVE_WINDOW"),
                        XCB_ATOM_WINDOW, 32, 1, &window);
    xcb_flush(m_connection);
}

void ForeignClient::takeFocus()
{
    xcb_set_input_focus(m_connection, XCB_INPUT_FOCUS_PARENT, m_window, XCB_CURRENT_TIME);
    xcb_flush(m_connection);
}

void ForeignClient::map()
{
    xcb_map_window(m_connection, m_window);
    xcb_flush(m_connection);
    // The window manager reparents and maps it; a round trip of its attributes tells.
    X11Display::waitUntil(
        [this] {
            xcb_get_window_attributes_reply_t *attributes = xcb_get_window_attributes_reply(
                m_connection, xcb_get_window_attributes(m_connection, m_window), nullptr);
            const bool viewable = attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE;
            std::free(attributes);
            return viewable || closed();
        },
        3000, [this] { poll(); });
}

void ForeignClient::activate()
{
    xcb_client_message_event_t event;
    std::memset(&event, 0, sizeof event);
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = m_window;
    event.type = atom("_NET_ACTIVE_WINDOW");
    event.data.data32[0] = 2; // a request from a pager: a direct action of the user
    event.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(m_connection, 0, m_root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                   reinterpret_cast<const char *>(&event));
    // As programs that want the keyboard do, should the window manager hesitate.
    xcb_set_input_focus(m_connection, XCB_INPUT_FOCUS_PARENT, m_window, XCB_CURRENT_TIME);
    const std::uint32_t above[] = {XCB_STACK_MODE_ABOVE};
    xcb_configure_window(m_connection, m_window, XCB_CONFIG_WINDOW_STACK_MODE, above);
    xcb_flush(m_connection);
}

void ForeignClient::poll()
{
    while (xcb_generic_event_t *event = xcb_poll_for_event(m_connection)) {
        switch (event->response_type & 0x7f) {
        case XCB_CLIENT_MESSAGE: {
            auto *message = reinterpret_cast<xcb_client_message_event_t *>(event);
            if (message->data.data32[0] == m_deleteWindow) {
                m_askedToClose = true;
                if (m_whenAsked == Options::WhenAsked::Close) {
                    xcb_destroy_window(m_connection, m_window);
                    xcb_flush(m_connection);
                } else if (m_whenAsked == Options::WhenAsked::Rename) {
                    setTitle(m_renameTo);
                }
            }
            break;
        }
        case XCB_DESTROY_NOTIFY:
            m_closed = true;
            break;
        case XCB_KEY_PRESS:
            ++m_keyPresses;
            break;
        default:
            break;
        }
        std::free(event);
    }
}

bool ForeignClient::grabKeyboard()
{
    xcb_grab_keyboard_reply_t *reply =
        xcb_grab_keyboard_reply(m_connection,
                                xcb_grab_keyboard(m_connection, 0, m_root, XCB_CURRENT_TIME,
                                                  XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC),
                                nullptr);
    const bool taken = reply && reply->status == XCB_GRAB_STATUS_SUCCESS;
    std::free(reply);
    return taken;
}

void ForeignClient::ungrabKeyboard()
{
    xcb_ungrab_keyboard(m_connection, XCB_CURRENT_TIME);
    xcb_flush(m_connection);
}

void ForeignClient::grabShortcut(xcb_keycode_t key, std::uint16_t modifiers)
{
    // With and without Num Lock, as window managers do.
    for (std::uint16_t extra : {std::uint16_t(0), std::uint16_t(XCB_MOD_MASK_2)})
        xcb_grab_key(m_connection, 1, m_root, modifiers | extra, key, XCB_GRAB_MODE_ASYNC,
                     XCB_GRAB_MODE_ASYNC);
    xcb_flush(m_connection);
}

xcb_keycode_t ForeignClient::keycodeOf(std::uint32_t keysym) const
{
    const xcb_setup_t *setup = xcb_get_setup(m_connection);
    const int count = setup->max_keycode - setup->min_keycode + 1;
    xcb_get_keyboard_mapping_reply_t *mapping = xcb_get_keyboard_mapping_reply(
        m_connection, xcb_get_keyboard_mapping(m_connection, setup->min_keycode, count), nullptr);
    xcb_keycode_t found = 0;
    if (mapping) {
        const xcb_keysym_t *syms = xcb_get_keyboard_mapping_keysyms(mapping);
        const int perKey = mapping->keysyms_per_keycode;
        for (int key = 0; key < count && !found; ++key) {
            for (int level = 0; level < perKey; ++level) {
                if (syms[key * perKey + level] == keysym) {
                    found = static_cast<xcb_keycode_t>(setup->min_keycode + key);
                    break;
                }
            }
        }
    }
    std::free(mapping);
    return found;
}

std::unique_ptr<ForeignClient> ForeignClient::inFront(WindowSystem &windows, const Options &options)
{
    auto client = std::make_unique<ForeignClient>(X11Display::name(), options);
    client->map();
    client->activate();
    const xcb_window_t id = client->window();
    EXPECT_TRUE(X11Display::waitUntil([&] { return windows.foregroundWindow() == id; }, 3000,
                                      [&] { client->poll(); }))
        << "the window manager did not bring the window to the front";
    return client;
}
