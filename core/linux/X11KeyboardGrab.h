#pragma once

#include <QString>
#include <functional>
#include <memory>

class QAbstractNativeEventFilter;
class QObject;

// An active grab of the X keyboard on the root window, made on the program's own (Qt's) X
// connection with owner events on: keys meant for the program's windows reach them as usual,
// every other key (the window manager's and the desktop's shortcuts included) reaches nothing.
class X11KeyboardGrab
{
public:
    X11KeyboardGrab();
    ~X11KeyboardGrab();
    X11KeyboardGrab(const X11KeyboardGrab &) = delete;
    X11KeyboardGrab &operator=(const X11KeyboardGrab &) = delete;

    enum class Result {
        Taken,       // the keyboard is ours
        Busy,        // someone else holds it just now; try again later
        Unavailable, // the program does not run on an X display
        Pending,     // asked for; the server has not answered yet
    };

    // Asks for the grab without waiting for the answer.
    Result request();
    // The answer to the last request: looks whether it has come, or waits for it.
    Result poll(bool wait);
    // Takes the grab and waits for the answer.
    Result take();
    void release();
    // Whether the keyboard is ours (waits for a pending answer).
    bool held();
    QString errorText() const { return m_error; }
    // Called at once when the last open pop-up of the program (a menu, a completer, a combo
    // box's list) closes: it held the keyboard itself and has let go of it, so the grab must be
    // taken again before any other program can take it. Also called when the X server says that
    // the grab ended some other way.
    void whenLost(std::function<void()> callback);

private:
    bool m_held = false;
    // A grab is asked for or held: the focus changes it causes are kept from Qt.
    bool m_wanted = false;
    unsigned int m_pending = 0;
    QString m_error;
    std::function<void()> m_lost;
    // Keeps the focus changes that the grab itself causes away from Qt, which would otherwise
    // take the program's window for inactive (and its shortcuts and mnemonics for dead).
    std::unique_ptr<QAbstractNativeEventFilter> m_focusFilter;
    std::unique_ptr<QObject> m_popupWatch;
};
