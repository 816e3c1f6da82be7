// room_load: a room at scale against one throw-away local PostgreSQL server over TLS on the
// loopback address, through the real store (no windows). Each of N simulated computers is a
// thread with a connection of its own, made first (as a computer makes it once its logon window
// shows). Then, round after round (a new day each), all of them log on within one second to M
// accounts, N / M computers to each, and the ones that got a session end it. Checked: every
// logon is answered, exactly one session per account and round, every remainder stored.
// Printed: p50, p99 and the longest of a logon and of a session end, in milliseconds.
//
//   room_load [--computers 200] [--rounds 5] [--spread-ms 1000] [--fsync]
//
// Not a test; bench/README.md has the figures and the method.
#include "PostgresCluster.h"
#include "core/rules/AccountTable.h"
#include "core/rules/AppError.h"
#include "room/PostgresAccountStore.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <algorithm>
#include <atomic>
#include <barrier>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

void report(const char *what, std::vector<double> samples)
{
    std::sort(samples.begin(), samples.end());
    if (samples.empty()) {
        std::printf("%-28s none\n", what);
        return;
    }
    const auto at = [&](double q) {
        return samples[std::min(samples.size() - 1, size_t(q * samples.size()))];
    };
    std::printf("%-28s p50 %7.2f ms   p99 %7.2f ms   longest %7.2f ms   (%zu)\n", what, at(0.5),
                at(0.99), samples.back(), samples.size());
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    int computers = 200;
    int rounds = 5;
    int spreadMs = 1000;
    bool fsync = false;
    for (int i = 1; i < argc; ++i) {
        const auto is = [&](const char *name) {
            return std::strcmp(argv[i], name) == 0;
        };
        if (is("--computers") && i + 1 < argc)
            computers = std::atoi(argv[++i]);
        else if (is("--rounds") && i + 1 < argc)
            rounds = std::atoi(argv[++i]);
        else if (is("--spread-ms") && i + 1 < argc)
            spreadMs = std::atoi(argv[++i]);
        else if (is("--fsync"))
            fsync = true;
        else {
            std::fprintf(stderr, "usage: room_load [--computers N] [--rounds N] [--spread-ms MS] "
                                 "[--fsync]\n");
            return 2;
        }
    }
    if (const QString missing = PostgresCluster::missing(); !missing.isEmpty()) {
        std::fprintf(stderr, "room_load: %s\n", qPrintable(missing));
        return 1;
    }
    PostgresCluster cluster(computers + 10, fsync);
    if (!cluster.create()) {
        std::fprintf(stderr, "room_load: %s\n", qPrintable(cluster.error()));
        return 1;
    }
    QTemporaryDir homes;
    const int accounts = AccountTable::MaxAccounts;
    {
        PostgresAccountStore admin(cluster.adminConninfo(),
                                   homes.path() + QStringLiteral("/admin"));
        admin.createSchema();
        admin.grantTo(PostgresCluster::KioskRole);
        QList<AccountSlot> table;
        for (int n = 1; n <= accounts; ++n)
            table.append({QStringLiteral("KID%1").arg(n), QStringLiteral("PW"), 60, {}, 60});
        admin.replaceIfUnchanged(table, admin.load().version);
    }
    std::printf("%d computers, %d accounts (%d computers each), %d rounds, logons spread over "
                "%d ms; TLS on 127.0.0.1, fsync %s\n",
                computers, accounts, computers / accounts, rounds, spreadMs, fsync ? "on" : "off");

    std::mutex mutex;
    std::vector<double> connects, logOns, ends;
    std::vector<std::vector<int>> sessions(rounds, std::vector<int>(accounts, 0));
    std::atomic<int> unanswered{0}, failedEnds{0};
    Clock::time_point roundStart;
    std::barrier sync(computers + 1);

    std::vector<std::thread> threads;
    for (int c = 0; c < computers; ++c) {
        threads.emplace_back([&, c] {
            PostgresAccountStore store(cluster.conninfo(),
                                       homes.path() + QStringLiteral("/pc%1/journal").arg(c));
            AccountTable table;
            table.setStore(&store);
            table.LoadAccounts();
            const int account = c % accounts;
            const QString user = QStringLiteral("KID%1").arg(account + 1);
            // The connection, made before the first logon.
            const auto t0 = Clock::now();
            try {
                store.load();
            } catch (const AppError &) {
            }
            const double connect = ms(Clock::now() - t0);
            {
                const std::lock_guard lock(mutex);
                connects.push_back(connect);
            }
            for (int round = 0; round < rounds; ++round) {
                sync.arrive_and_wait();
                // Spread evenly over the second, computers of one account far apart and close.
                std::this_thread::sleep_until(
                    roundStart +
                    std::chrono::microseconds(qint64(c) * spreadMs * 1000 / computers));
                const QString today = QStringLiteral("day %1").arg(round);
                const auto l0 = Clock::now();
                const Logon logOn = table.logOn(user, QStringLiteral("PW"), today);
                const double logOnMs = ms(Clock::now() - l0);
                if (logOn.outcome != Logon::LoggedOn && logOn.outcome != Logon::NoTimeLeft)
                    ++unanswered;
                sync.arrive_and_wait();
                double endMs = -1;
                if (logOn.outcome == Logon::LoggedOn) {
                    const auto e0 = Clock::now();
                    try {
                        table.endSession(logOn.grant, 30, today);
                    } catch (const AppError &) {
                        ++failedEnds;
                    }
                    endMs = ms(Clock::now() - e0);
                }
                const std::lock_guard lock(mutex);
                logOns.push_back(logOnMs);
                if (endMs >= 0) {
                    ends.push_back(endMs);
                    ++sessions[round][account];
                }
            }
        });
    }
    for (int round = 0; round < rounds; ++round) {
        roundStart = Clock::now() + std::chrono::milliseconds(50);
        sync.arrive_and_wait(); // the logons begin
        sync.arrive_and_wait(); // all answered; the session ends begin
    }
    for (std::thread &t : threads)
        t.join();

    bool good = unanswered == 0 && failedEnds == 0;
    for (int round = 0; round < rounds; ++round) {
        for (int a = 0; a < accounts; ++a) {
            if (sessions[round][a] != 1) {
                std::printf("round %d: KID%d had %d sessions\n", round, a + 1, sessions[round][a]);
                good = false;
            }
        }
    }
    PostgresAccountStore check(cluster.adminConninfo(), homes.path() + QStringLiteral("/check"));
    for (const AccountSlot &a : check.load().accounts) {
        if (a.minsLeft != 30 || a.lastDate != QStringLiteral("day %1").arg(rounds - 1)) {
            std::printf("%s: %d left on %s, not the last session's 30\n", qPrintable(a.userId),
                        a.minsLeft, qPrintable(a.lastDate));
            good = false;
        }
    }
    report("connecting (TLS, SCRAM)", connects);
    report("logon", logOns);
    report("session end", ends);
    std::printf("unanswered logons %d, failed session ends %d; one session per account and "
                "round: %s\n",
                int(unanswered), int(failedEnds), good ? "yes" : "NO");
    return good ? 0 : 1;
}
