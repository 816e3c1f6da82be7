#include "core/services/Services.h"

#include "core/services/ClockChangeSource.h"
#include "core/services/Disabler.h"
#include "core/services/SessionHandover.h"
#include "core/services/Today.h"
#include "core/services/TrayIcon.h"

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

SessionEnd Services::sessionEnd(Disabler *disabler) const
{
    SessionEnd end;
    if (Today *const dates = today) {
        end.today = [dates] {
            return dates->text();
        };
    }
    if (SessionHandover *const launcher = handover) {
        end.sessionEnded = [launcher] {
            launcher->sessionEnded();
        };
        end.powerActionFailed = [launcher] {
            launcher->powerActionFailed();
        };
    }
    if (disabler) {
        end.powerAction = [disabler](bool restart) {
            return restart ? disabler->restart() : disabler->shutDown();
        };
    }
    return end;
}
