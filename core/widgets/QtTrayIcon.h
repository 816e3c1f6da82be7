#pragma once

#include "core/services/TrayIcon.h"

#include <QSystemTrayIcon>

class QtTrayIcon : public TrayIcon
{
    Q_OBJECT
public:
    explicit QtTrayIcon(const QIcon &icon, QObject *parent = nullptr);

    void setInTray(bool shown) override;
    bool inTray() const override { return m_icon.isVisible(); }
    void setTrayTip(const QString &tip) override { m_icon.setToolTip(tip); }
    QString trayTip() const override { return m_icon.toolTip(); }
    bool available() const override { return QSystemTrayIcon::isSystemTrayAvailable(); }

private:
    QSystemTrayIcon m_icon;
};
