#include "QtTrayIcon.h"

QtTrayIcon::QtTrayIcon(const QIcon &icon, QObject *parent) : TrayIcon(parent), m_icon(icon)
{
    connect(&m_icon, &QSystemTrayIcon::activated, this, [this] { emit MouseDown(); });
}

void QtTrayIcon::setInTray(bool shown)
{
    m_icon.setVisible(shown);
}
