#pragma once

#include <QString>

// Keeps the X screen saver from starting (the MIT-SCREEN-SAVER suspension), through the
// program's own X connection. The X server holds the suspension for that connection and lifts
// it when the connection ends, so the screen saver comes back even if the program dies.
class X11ScreenSaver
{
public:
    X11ScreenSaver();
    ~X11ScreenSaver();
    X11ScreenSaver(const X11ScreenSaver &) = delete;
    X11ScreenSaver &operator=(const X11ScreenSaver &) = delete;

    // Sends the suspension without waiting; poll() takes the server's answer when it is there.
    // False when the X server has no screen saver extension.
    bool suspend();
    enum class Progress { Pending, Done, Failed };
    Progress poll(bool wait = false);
    void resume();
    // Whether the suspension holds (waits for the server's answer if it has not come yet).
    bool suspended();
    QString errorText() const { return m_error; }

private:
    bool m_suspended = false;
    unsigned int m_versionPending = 0;
    unsigned int m_suspendPending = 0;
    QString m_error;
};
