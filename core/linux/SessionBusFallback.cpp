#include "core/linux/SessionBusFallback.h"

#include <QtGlobal>

#include <sys/stat.h>
#include <unistd.h>

QByteArray SessionBusFallback::noBusAddress()
{
    return QByteArrayLiteral("unix:path=/dev/null");
}

bool SessionBusFallback::wouldAutolaunch()
{
    if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        return false;
    // libdbus uses $XDG_RUNTIME_DIR/bus when it is a socket of ours (a per-user bus).
    const QByteArray runtimeDir = qgetenv("XDG_RUNTIME_DIR");
    if (runtimeDir.isEmpty())
        return true;
    struct stat st
    {};
    const QByteArray socketPath = QByteArray(runtimeDir).append("/bus");
    if (::stat(socketPath.constData(), &st) != 0)
        return true;
    return !(S_ISSOCK(st.st_mode) && st.st_uid == ::getuid());
}

bool SessionBusFallback::apply()
{
    if (!wouldAutolaunch())
        return false;
    qputenv("DBUS_SESSION_BUS_ADDRESS", noBusAddress());
    return true;
}
