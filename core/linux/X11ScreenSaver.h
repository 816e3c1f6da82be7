#pragma once

#include <QByteArray>
#include <QString>

struct xcb_connection_t;

// Keeps the X screen saver from starting (the MIT-SCREEN-SAVER suspension). The X server holds
// the suspension for this class's own connection and lifts it when that connection ends, so
// the screen saver comes back even if the program dies.
class X11ScreenSaver
{
public:
    explicit X11ScreenSaver(const QByteArray &displayName = {}) : m_displayName(displayName) {}
    ~X11ScreenSaver();
    X11ScreenSaver(const X11ScreenSaver &) = delete;
    X11ScreenSaver &operator=(const X11ScreenSaver &) = delete;

    bool suspend();
    void resume();
    bool suspended() const { return m_connection != nullptr; }
    QString errorText() const { return m_error; }

private:
    QByteArray m_displayName;
    xcb_connection_t *m_connection = nullptr;
    QString m_error;
};
