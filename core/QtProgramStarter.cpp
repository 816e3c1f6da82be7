#include "QtProgramStarter.h"

#include <QProcess>

bool QtProgramStarter::start(const QString &path)
{
    return QProcess::startDetached(path, {});
}
