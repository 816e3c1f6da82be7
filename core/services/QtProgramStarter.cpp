#include "core/services/QtProgramStarter.h"

#include "core/services/StartedPrograms.h"

#include <QProcess>

bool QtProgramStarter::start(const QString &path)
{
    qint64 pid = 0;
    if (!QProcess::startDetached(path, {}, {}, &pid))
        return false;
    // The foreground guard lets the started program's windows keep the titles it expects.
    StartedPrograms::add(pid);
    return true;
}
