#pragma once

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <functional>

class QWidget;
class WindowSystem;

// The X display the X11 tests run on: TIMORA_X11_DISPLAY, made the program's DISPLAY before
// Qt starts. Without it Qt stays off any display and the tests skip.
namespace X11Display {

bool available();
QByteArray name();
QString skipReason();

// Processes Qt's events and calls poll until done() holds or the time is up.
bool waitUntil(const std::function<bool()> &done, int timeoutMs,
               const std::function<void()> &poll = {});
// Processes Qt's events for the given time, calling poll as it goes.
void spin(int ms, const std::function<void()> &poll = {});

// Runs a command (xdotool …) on the test display; true when it ends with exit code 0.
bool run(const QString &program, const QStringList &arguments);
// Types, clicks or moves windows with xdotool, as a person at the test display would.
bool xdotool(const QStringList &arguments);

// Whether the widget's window is the one in front, as `windows` sees it.
bool inFront(WindowSystem &windows, const QWidget &window);
// The title of the window in front; empty when there is none or it has no title.
QString titleInFront(WindowSystem &windows);
// Shows and activates the window and waits (3 s at most) until it is in front.
bool showInFront(WindowSystem &windows, QWidget &window);

// The environment for the program itself on the test display, with settings and runtime
// folders below `home` (none of the real user's).
QProcessEnvironment programEnvironment(const QString &home);

} // namespace X11Display

#define SKIP_WITHOUT_X11_DISPLAY()                                                                 \
    do {                                                                                           \
        if (!X11Display::available())                                                              \
            GTEST_SKIP() << qPrintable(X11Display::skipReason());                                  \
    } while (false)
