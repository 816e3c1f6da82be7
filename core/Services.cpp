#include "Services.h"

#include "ClockChangeSource.h"
#include "Disabler.h"
#include "TrayIcon.h"

std::unique_ptr<Disabler> Services::disabler() const
{
    return makeDisabler ? makeDisabler() : nullptr;
}

TrayIcon *Services::trayIcon(QObject *parent) const
{
    return makeTrayIcon ? makeTrayIcon(parent) : nullptr;
}

ClockChangeSource *Services::clockChangeSource(QObject *parent) const
{
    return makeClockChangeSource ? makeClockChangeSource(parent) : nullptr;
}
