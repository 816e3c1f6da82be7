// Saves one of two different account tables, alternately, until it is killed.
// Usage: store_saver <ini file>
#include "core/Module1.h"
#include "core/linux/IniSettingsStore.h"

#include <QCoreApplication>
#include <cstdio>

namespace {

void fill(Module1 &table, int version)
{
    table.reset();
    const int count = version == 0 ? 3 : 7;
    table.accountCount = static_cast<qint16>(count);
    for (int n = 1; n <= count; ++n)
        table.accounts[n] = {QStringLiteral("V%1USER%2").arg(version).arg(n),
                             QStringLiteral("PW%1").arg(n), 60 + version,
                             QStringLiteral("8 Dec 2026"), n + 100 * version};
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc < 2)
        return 2;
    IniSettingsStore store(QString::fromLocal8Bit(argv[1]));
    Module1 &table = module1();
    table.setStore(&store);
    std::puts("ready");
    std::fflush(stdout);
    for (int round = 0;; ++round) {
        fill(table, round % 2);
        table.SaveAccounts();
    }
}
