#pragma once

#include <QObject>
#include <QString>

// The session's icon in the notification area, with a tip that carries the minutes left.
class TrayIcon : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    virtual void setInTray(bool shown) = 0;
    virtual bool inTray() const = 0;
    virtual void setTrayTip(const QString &tip) = 0;
    virtual QString trayTip() const = 0;
    // False when the desktop has no notification area to put the icon in.
    virtual bool available() const = 0;

signals:
    // Any press on the icon, whatever the button.
    void MouseDown();
};
