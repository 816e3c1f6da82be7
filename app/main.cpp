#include "core/ImmediateProgramEnd.h"
#include "core/Module1.h"
#include "core/QtMessageBoxes.h"
#include "core/QtProgramStarter.h"
#include "core/QtTrayIcon.h"
#include "core/Services.h"
#include "core/SimulatedDisabler.h"
#include "core/SystemToday.h"
#include "core/linux/IniSettingsStore.h"
#include "logon/frmLogon.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("TimoraDesk"));
    QApplication::setApplicationVersion(QStringLiteral("%1.%2.%3")
                                            .arg(TIMORA_VERSION_MAJOR)
                                            .arg(TIMORA_VERSION_MINOR)
                                            .arg(TIMORA_VERSION_PATCH));
    QApplication::setWindowIcon(Services::appIcon());
    QApplication::setQuitOnLastWindowClosed(false);

    IniSettingsStore store;
    QtMessageBoxes messages;
    ImmediateProgramEnd programEnd;
    QtProgramStarter starter;
    SystemToday today;

    Services &s = services();
    s.messages = &messages;
    s.programEnd = &programEnd;
    s.starter = &starter;
    s.today = &today;
    s.makeDisabler = [] {
        return std::make_unique<SimulatedDisabler>();
    };
    s.makeTrayIcon = [](QObject *parent) -> TrayIcon * {
        return new QtTrayIcon(Services::appIcon(), parent);
    };
    module1().setStore(&store);

    frmLogon::instance().show();
    return app.exec();
}
