// Saves one of two different account tables, alternately, until it is killed.
// Usage: store_saver <ini file>
#include "core/rules/AccountTable.h"
#include "core/rules/FileAccountStore.h"
#include "core/settings/IniSettingsStore.h"
#include "tests/support/AlternatingTables.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc < 2)
        return 2;
    IniSettingsStore store(QString::fromLocal8Bit(argv[1]));
    FileAccountStore accounts(store);
    AccountTable table;
    table.setStore(&accounts);
    std::puts("ready");
    std::fflush(stdout);
    for (int round = 0;; ++round) {
        fillAlternatingTable(table, round % 2);
        table.SaveAccounts();
    }
}
