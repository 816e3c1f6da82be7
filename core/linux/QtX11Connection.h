#pragma once

struct xcb_connection_t;

// The program's own X connection, the one Qt draws its windows through; nullptr when the program
// does not run on an X display or the connection broke.
xcb_connection_t *qtX11Connection();
