// A session of the account KID (30 minutes a day) as the program runs it: logged on through the
// logon window, two minutes counted, the password changed to "NEW", one more minute counted
// (27 minutes left). Then it prints "ready" and
// waits in the event loop until it is told to end or killed. Restart and shut-down requests are
// only written on standard error.
// Usage: session_child <settings file>
#include "app/ProgramFlow.h"
#include "core/linux/SignalTerminationWatch.h"
#include "core/rules/AccountTable.h"
#include "core/rules/FileAccountStore.h"
#include "core/settings/IniSettingsStore.h"
#include "logon/frmLogon.h"
#include "session/frmActive.h"
#include "tests/support/FakeServices.h"

#include <QApplication>
#include <QLineEdit>
#include <cstdio>

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 2)
        return 2;

    IniSettingsStore store(QString::fromLocal8Bit(argv[1]));
    FileAccountStore accounts(store);
    Fakes fakes;
    fakes.accountTable.setStore(&accounts);
    fakes.services.makeDisabler = [] {
        return std::make_unique<PrintingDisabler>();
    };
    SignalTerminationWatch termination;
    fakes.services.termination = &termination;

    ProgramFlow flow(fakes.services);
    frmLogon &logon = flow.logon();
    logon.show();
    logOnAs(logon, QStringLiteral("kid"), QStringLiteral("pw"));
    if (!flow.hasSession())
        return 3;
    frmActive &session = flow.session();
    session.Timer1_Timer();
    session.Timer1_Timer();
    session.cmdNewPsw_Click();
    session.txtNewpsw->setText(QStringLiteral("new"));
    session.cmdSavePsw_Click();
    if (!fakes.messages.shown.isEmpty())
        return 4;
    session.Timer1_Timer();

    std::puts("ready");
    std::fflush(stdout);
    return app.exec();
}
