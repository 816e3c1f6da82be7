// Ends a session, or saves the administrator's grid, again and again through the windows' own
// handlers, until it is killed. The rounds store one of two account tables in turn (three
// accounts "V0USER…" or seven accounts "V1USER…"), so whatever the file holds afterwards must be
// one of the two as a whole. Prints "ready" once the first save is done.
// Usage: window_saver session-end|admin-save <settings file>
#include "admin/frmAdmin.h"
#include "app/ProgramFlow.h"
#include "core/rules/AccountTable.h"
#include "core/rules/FileAccountStore.h"
#include "core/settings/IniSettingsStore.h"
#include "session/frmActive.h"
#include "tests/support/AlternatingTables.h"
#include "tests/support/FakeServices.h"

#include <QApplication>
#include <cstdio>
#include <cstring>

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 3)
        return 2;
    const bool sessionEnd = std::strcmp(argv[1], "session-end") == 0;

    IniSettingsStore store(QString::fromLocal8Bit(argv[2]));
    FileAccountStore accounts(store);
    Fakes fakes;
    AccountTable &table = fakes.accountTable;
    table.setStore(&accounts);
    ProgramFlow flow(fakes.services);
    const RecordingMessageBoxes &messages = fakes.messages;
    QStringList &disablerLog = fakes.disablerLog;

    for (int round = 0;; ++round) {
        const int version = round % 2;
        fillAlternatingTable(table, version);
        if (sessionEnd) {
            // Slot 1 is logged on (its 0 stored, as a logon's); the session end stores its
            // minutes and today's date.
            flow.session(table.openSession(1, 40 + version, fakes.today.text())).cmdLogoff_Click();
            // A session ends once per window: the next round needs a window of its own.
            delete &flow.session();
            if (!disablerLog.contains(QStringLiteral("restart requested"))) {
                std::fputs("the session end did not run\n", stderr);
                return 1;
            }
        } else {
            frmAdmin &admin = flow.admin();
            admin.FillGrid();
            admin.cmdSave_Click();
        }
        if (!messages.shown.isEmpty()) {
            std::fprintf(stderr, "the save reported: %s\n",
                         qPrintable(messages.shown.constFirst().text));
            return 1;
        }
        disablerLog.clear();
        if (round == 0) {
            std::puts("ready");
            std::fflush(stdout);
        }
    }
}
