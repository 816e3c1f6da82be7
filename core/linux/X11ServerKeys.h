#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <array>

// The X server's own keys: console switching (Ctrl+Alt+F1…F12), the zap (Ctrl+Alt+Backspace)
// and the server's private keys (grab breaking, video mode, window-tree dumps). They act through
// actions in the XKB keyboard map; turning them off replaces those actions by "no action" and
// remembers them, turning them on puts them back. The keysyms stay, so every key still types
// what it typed before.
class X11ServerKeys
{
public:
    explicit X11ServerKeys(const QByteArray &displayName = {}) : m_displayName(displayName) {}

    // False when the keyboard map cannot be read or written; errorText() then says why.
    bool turnOff();
    bool turnOn();
    bool isOff() const { return m_off; }
    // How many of the server's own actions the keyboard map holds now; -1 when it cannot be read.
    int actionsInMap() const;
    QString errorText() const { return m_error; }

private:
    struct Removed
    {
        int key;
        int index;
        std::array<unsigned char, 8> action;
    };

    QByteArray m_displayName;
    QList<Removed> m_removed;
    bool m_off = false;
    QString m_error;
};
