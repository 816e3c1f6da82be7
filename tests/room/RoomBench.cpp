// room_bench: the cost of a logon and of a session end in a room, against a throw-away local
// PostgreSQL server over TLS on the loopback address: 1000 of each, medians and quartiles in
// microseconds.
// Not a test; bench/README.md has the figures.
#include "PostgresCluster.h"
#include "core/rules/AccountTable.h"
#include "core/rules/DateText.h"
#include "room/PostgresAccountStore.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

void report(const char *what, std::vector<double> &us)
{
    std::sort(us.begin(), us.end());
    std::printf("%-12s median %7.0f us   quartiles %7.0f / %7.0f us   runs %zu\n", what,
                us[us.size() / 2], us[us.size() / 4], us[us.size() * 3 / 4], us.size());
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::atoi(argv[1]) : 1000;
    if (const QString missing = PostgresCluster::missing(); !missing.isEmpty()) {
        std::fprintf(stderr, "room_bench: %s\n", qPrintable(missing));
        return 1;
    }
    PostgresCluster cluster;
    if (!cluster.create()) {
        std::fprintf(stderr, "room_bench: %s\n", qPrintable(cluster.error()));
        return 1;
    }
    QTemporaryDir home;
    {
        PostgresAccountStore admin(cluster.adminConninfo(), home.path() + QStringLiteral("/admin"));
        admin.createSchema();
        admin.grantTo(PostgresCluster::KioskRole);
    }
    PostgresAccountStore store(cluster.conninfo(), home.path() + QStringLiteral("/journal"));
    QList<AccountSlot> accounts{{AccountTable::AdminId, QStringLiteral("BOSS"), -1, {}, -1}};
    for (int n = 2; n <= AccountTable::MaxAccounts; ++n)
        accounts.append({QStringLiteral("KID%1").arg(n), QStringLiteral("PW"), 60, {}, 60});
    store.replaceIfUnchanged(accounts, store.load().version);

    AccountTable table;
    table.setStore(&store);
    table.LoadAccounts();
    std::vector<double> logOn, end;
    using Clock = std::chrono::steady_clock;
    for (int i = 0; i < runs; ++i) {
        // A new day every time, so that every logon stands.
        const QString today = DateText::fromDate(QDate(2000, 1, 1).addDays(i));
        const auto t0 = Clock::now();
        const Logon kid = table.logOn(QStringLiteral("KID10"), QStringLiteral("PW"), today);
        const bool granted = kid.outcome == Logon::LoggedOn;
        const auto t1 = Clock::now();
        table.endSession(kid.grant, 30, today);
        const auto t2 = Clock::now();
        if (!granted)
            return 1;
        logOn.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
        end.push_back(std::chrono::duration<double, std::micro>(t2 - t1).count());
    }
    report("logon", logOn);
    report("session end", end);
    return 0;
}
