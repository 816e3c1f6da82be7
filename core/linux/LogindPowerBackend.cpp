#include "LogindPowerBackend.h"

#include <QDBusMessage>
#include <QDBusReply>

namespace {

const QString Service = QStringLiteral("org.freedesktop.login1");
const QString Path = QStringLiteral("/org/freedesktop/login1");
const QString Interface = QStringLiteral("org.freedesktop.login1.Manager");
constexpr int CallTimeoutMs = 5000;

} // namespace

LogindPowerBackend::LogindPowerBackend() : LogindPowerBackend(QDBusConnection::systemBus()) {}

LogindPowerBackend::LogindPowerBackend(const QDBusConnection &bus) : m_bus(bus) {}

QString LogindPowerBackend::inhibitedBy(Hold what)
{
    switch (what) {
    case Hold::PowerKeys:
        return QStringLiteral(
            "handle-power-key:handle-suspend-key:handle-hibernate-key:handle-lid-switch");
    case Hold::Sleep:
        return QStringLiteral("sleep");
    }
    return {};
}

bool LogindPowerBackend::call(const QString &method, const QVariantList &arguments,
                              QVariant *result)
{
    if (!m_bus.isConnected()) {
        m_error =
            QStringLiteral("no system bus (") + m_bus.lastError().message() + QLatin1Char(')');
        return false;
    }
    QDBusMessage message = QDBusMessage::createMethodCall(Service, Path, Interface, method);
    message.setArguments(arguments);
    const QDBusMessage reply = m_bus.call(message, QDBus::Block, CallTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage) {
        m_error = reply.errorName() + QStringLiteral(": ") + reply.errorMessage();
        return false;
    }
    if (result)
        *result = reply.arguments().value(0);
    return true;
}

bool LogindPowerBackend::hold(Hold what)
{
    if (isHeld(what))
        return true;
    if (m_bus.isConnected() &&
        !(m_bus.connectionCapabilities() & QDBusConnection::UnixFileDescriptorPassing)) {
        m_error = QStringLiteral("the bus cannot pass the inhibitor's file descriptor");
        return false;
    }
    QVariant result;
    if (!call(QStringLiteral("Inhibit"),
              {inhibitedBy(what), QStringLiteral("TimoraDesk"),
               QStringLiteral("The logon window holds the machine until someone logs on"),
               QStringLiteral("block")},
              &result))
        return false;
    const QDBusUnixFileDescriptor fd = qvariant_cast<QDBusUnixFileDescriptor>(result);
    if (!fd.isValid()) {
        m_error = QStringLiteral("logind returned no inhibitor");
        return false;
    }
    m_held[static_cast<int>(what)] = fd;
    return true;
}

void LogindPowerBackend::release(Hold what)
{
    // The last copy of the descriptor closes it, and logind drops the inhibitor.
    m_held[static_cast<int>(what)] = QDBusUnixFileDescriptor();
}

bool LogindPowerBackend::isHeld(Hold what) const
{
    return m_held[static_cast<int>(what)].isValid();
}

bool LogindPowerBackend::reboot()
{
    return call(QStringLiteral("Reboot"), {false}, nullptr);
}

bool LogindPowerBackend::powerOff()
{
    return call(QStringLiteral("PowerOff"), {false}, nullptr);
}
