#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

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

} // namespace X11Display

#define SKIP_WITHOUT_X11_DISPLAY()                                                                 \
    do {                                                                                           \
        if (!X11Display::available())                                                              \
            GTEST_SKIP() << qPrintable(X11Display::skipReason());                                  \
    } while (false)
