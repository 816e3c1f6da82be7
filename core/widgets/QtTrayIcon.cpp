#include "core/widgets/QtTrayIcon.h"

QtTrayIcon::QtTrayIcon(const QIcon &icon, QObject *parent) : TrayIcon(parent), m_icon(icon)
{
    // Reported from the event loop, not from inside Qt's own click handling: a handler that
    // takes the icon out of the tray would otherwise delete the widget that is delivering it.
    connect(
        &m_icon, &QSystemTrayIcon::activated, this, [this] { emit MouseDown(); },
        Qt::QueuedConnection);
}

void QtTrayIcon::setInTray(bool shown)
{
    m_icon.setVisible(shown);
}
