// Holds the X server's grab for a number of seconds, as any client of the display may: the server
// then answers no other client. Before it waits, it sends the named window an Expose event, so
// that the window's program draws (and waits on the server) while the grab is held. Says
// "grabbed" on standard output once the grab is held.
//
//   server_grabber <seconds> <window id>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <xcb/xcb.h>

int main(int argc, char *argv[])
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: server_grabber <seconds> <window id>\n");
        return 2;
    }
    const int seconds = std::atoi(argv[1]);
    const auto window = static_cast<xcb_window_t>(std::strtoul(argv[2], nullptr, 0));
    xcb_connection_t *connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection)) {
        std::fprintf(stderr, "server_grabber: cannot connect to the display\n");
        return 1;
    }
    xcb_grab_server(connection);
    xcb_expose_event_t expose;
    std::memset(&expose, 0, sizeof expose);
    expose.response_type = XCB_EXPOSE;
    expose.window = window;
    expose.width = 100;
    expose.height = 100;
    xcb_send_event(connection, 0, window, XCB_EVENT_MASK_EXPOSURE,
                   reinterpret_cast<const char *>(&expose));
    // A round trip: the server has taken the grab once it answers.
    std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
    std::printf("grabbed\n");
    std::fflush(stdout);
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    xcb_ungrab_server(connection);
    xcb_disconnect(connection);
    return 0;
}
