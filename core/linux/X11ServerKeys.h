#pragma once

#include <QList>
#include <QString>
#include <array>
#include <functional>
#include <memory>

class QAbstractNativeEventFilter;

// The X server's own keys: console switching (Ctrl+Alt+F1…F12), the zap (Ctrl+Alt+Backspace)
// and the server's private keys (grab breaking, video mode, window-tree dumps). They act through
// actions in the XKB keyboard map; turning them off replaces those actions by "no action" and
// remembers them, turning them on puts them back. The keysyms stay, so every key still types
// what it typed before. All of it goes through the program's own X connection.
class X11ServerKeys
{
public:
    X11ServerKeys();
    ~X11ServerKeys();
    X11ServerKeys(const X11ServerKeys &) = delete;
    X11ServerKeys &operator=(const X11ServerKeys &) = delete;

    // Turning off in two steps that never wait: requestTurnOff() asks for the keyboard map,
    // poll() takes the answer when it is there, writes the map back only when it still holds one
    // of the server's actions, and reports when all of that is done. False when the X server
    // cannot be reached; errorText() then says why.
    bool requestTurnOff();
    enum class Progress { Pending, Done, Failed };
    Progress poll();
    // Waits for what requestTurnOff() started.
    bool finishTurnOff();
    // Turns off and waits.
    bool turnOff() { return requestTurnOff() && finishTurnOff(); }
    bool turnOn();
    bool isOff() const { return m_off; }
    // How many of the server's own actions the keyboard map holds now; -1 when it cannot be read.
    int actionsInMap();
    QString errorText() const { return m_error; }

    // Called when the X server announces a new or changed keyboard map, which may bring the
    // server's keys back.
    void whenMapChanges(std::function<void()> callback);

private:
    struct Removed
    {
        int key;
        int index;
        std::array<unsigned char, 8> action;
    };
    bool fail(const QString &why);
    // One step further, or all the way when wait is true.
    Progress advance(bool wait);
    // Done, or the next read when a change came in meanwhile.
    Progress readAgainIfAsked(bool wait);

    QList<Removed> m_removed;
    bool m_off = false;
    QString m_error;
    // What requestTurnOff() is waiting for: the map (a get-map request) or its write.
    unsigned int m_readPending = 0;
    unsigned int m_writePending = 0;
    unsigned int m_syncPending = 0;
    // A map change announced while a turn-off was on its way: the map is read once more after it.
    bool m_readAgain = false;
    QList<Removed> m_pendingRemoved;
    std::unique_ptr<QAbstractNativeEventFilter> m_mapWatch;
};
