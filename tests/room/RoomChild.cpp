// One computer of a room in a process of its own, told what to do one line at a time on
// standard input, answering one line each on standard output:
//   logon USER PASSWORD TODAY   -> the outcome (LoggedOn, NoTimeLeft, Disabled, Invalid, Refused)
//   end MINUTES TODAY           -> ended, or failed
//   save VERSION                -> the administrator's save of the table as read: saved, changed
//   loop-save | loop-session    -> says ready, then saves or logs on and off until killed
//   at-once COMMAND ...         -> says waiting, waits for one byte on file descriptor 3 (the
//                                  barrier that starts the computers at the same instant), then
//                                  runs the command and answers when it is done
#include "core/rules/AccountTable.h"
#include "core/rules/AppError.h"
#include "room/PostgresAccountStore.h"

#include <QCoreApplication>
#include <QLocale>
#include <QTextStream>
#include <cstdio>
#include <iostream>
#include <string>
#include <unistd.h>

namespace {

void say(const char *line)
{
    std::printf("%s\n", line);
    std::fflush(stdout);
}

QList<AccountSlot> version(int v)
{
    // Two whole versions of the table: three or seven accounts, every field marked.
    QList<AccountSlot> accounts;
    for (int n = 1; n <= (v == 0 ? 3 : 7); ++n)
        accounts.append(AccountSlot{QStringLiteral("V%1USER%2").arg(v).arg(n),
                                    QStringLiteral("PW%1").arg(n), 60 + v,
                                    QStringLiteral("1/%1/2026").arg(v + 1), n + 100 * v});
    return accounts;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc < 3)
        return 2;
    // Dates are this computer's date texts: en_US unless the test names another locale.
    QLocale::setDefault(
        QLocale(qEnvironmentVariable("ROOM_CHILD_LOCALE", QStringLiteral("en_US"))));
    PostgresAccountStore store(QString::fromLocal8Bit(argv[1]), QString::fromLocal8Bit(argv[2]));
    AccountTable table;
    table.setStore(&store);
    table.LoadAccounts();

    const QString mode = argc > 3 ? QString::fromLocal8Bit(argv[3]) : QString();
    if (mode == QStringLiteral("loop-save")) {
        say("ready");
        for (int v = 0;; v = 1 - v) {
            const AccountStore::Table now = store.load();
            store.replaceIfUnchanged(version(v), now.version);
        }
    }
    if (mode == QStringLiteral("loop-session")) {
        say("ready");
        for (int round = 0;; ++round) {
            const QString today = QStringLiteral("2/%1/2026").arg(round % 28 + 1);
            const Logon kid = table.logOn(QStringLiteral("KID"), QStringLiteral("PW"), today);
            if (kid.outcome == Logon::LoggedOn)
                table.endSession(kid.grant, round % 50 + 1, today);
        }
    }

    // The session of the last logon, which "end" ends.
    SessionGrant lastGrant;
    std::string line;
    while (std::getline(std::cin, line)) {
        QStringList words = QString::fromStdString(line).split(QLatin1Char(' '));
        if (words.value(0) == QStringLiteral("at-once")) {
            words.removeFirst();
            say("waiting");
            char go = 0;
            if (::read(3, &go, 1) != 1)
                return 3;
        }
        try {
            if (words.value(0) == QStringLiteral("logon")) {
                const Logon r = table.logOn(words.value(1), words.value(2), words.value(3));
                lastGrant = r.grant;
                const char *names[] = {"LoggedOn", "Refused", "Invalid", "Disabled", "NoTimeLeft"};
                say(names[r.outcome]);
            } else if (words.value(0) == QStringLiteral("end")) {
                table.endSession(lastGrant, words.value(1).toInt(), words.value(2));
                say("ended");
            } else if (words.value(0) == QStringLiteral("reload")) {
                table.reload();
                say("reloaded");
            } else if (words.value(0) == QStringLiteral("save")) {
                QList<AccountTable::GridRow> rows;
                for (const AccountSlot &a : table.accounts())
                    rows.append({false, a.userId, a.password, QString::number(a.minsPerDay),
                                 QString::number(a.minsLeft), a.lastDate});
                const AccountTable::GridSave saved = table.replaceWithGrid(rows);
                say(saved == AccountTable::GridSave::Saved              ? "saved"
                    : saved == AccountTable::GridSave::ChangedElsewhere ? "changed"
                                                                        : "failed");
            } else {
                say("unknown");
            }
        } catch (const AppError &) {
            say("failed");
        }
    }
    return 0;
}
