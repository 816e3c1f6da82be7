// grab-server SECONDS: holds the X server's grab on $DISPLAY for SECONDS, then lets it go; prints
// "grabbed" once the server has it.
#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

int main(int argc, char **argv)
{
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 60;
    xcb_connection_t *connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection)) {
        std::fprintf(stderr, "grab-server: cannot connect\n");
        return 1;
    }
    xcb_grab_server(connection);
    free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
    std::printf("grabbed\n");
    std::fflush(stdout);
    sleep(static_cast<unsigned>(seconds));
    xcb_ungrab_server(connection);
    xcb_flush(connection);
    xcb_disconnect(connection);
    return 0;
}
