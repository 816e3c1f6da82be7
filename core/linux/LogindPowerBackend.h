#pragma once

#include "core/services/PowerBackend.h"

#include <QDBusConnection>
#include <QDBusUnixFileDescriptor>

// systemd-logind over the system bus: "block" inhibitors held by the file descriptor logind
// hands out (closing it lets go), and the Reboot and PowerOff calls.
class LogindPowerBackend : public PowerBackend
{
public:
    LogindPowerBackend();
    // Talks to logind (or a stand-in) on the given bus.
    explicit LogindPowerBackend(const QDBusConnection &bus);

    bool hold(Hold what) override;
    void release(Hold what) override;
    bool isHeld(Hold what) const override;
    bool reboot() override;
    bool powerOff() override;
    QString errorText() const override { return m_error; }

    // What each hold asks logind to inhibit.
    static QString inhibitedBy(Hold what);

private:
    bool call(const QString &method, const QVariantList &arguments, QVariant *result);

    QDBusConnection m_bus;
    QDBusUnixFileDescriptor m_held[2];
    QString m_error;
};
