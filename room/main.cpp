// timoradesk-room: sets up and looks after a room, the account table that several TimoraDesk
// computers share on a PostgreSQL server. TimoraDesk itself takes no command line; this is its
// administration command, run by the administrator with the same service file and .pgpass as the
// kiosk's system account (or --conninfo).
//
//   timoradesk-room [--conninfo STRING] schema [ROLE] creates the tables where they are missing
//                                                     and lets the kiosks' ROLE use their rows
//   timoradesk-room [--conninfo STRING] import FILE   the room's table becomes the settings file's
//   timoradesk-room [--conninfo STRING] export FILE   the settings file's section becomes the
//   room's timoradesk-room [--conninfo STRING] show          the room's table, without the
//   passwords
#include "core/AccountTable.h"
#include "core/AppError.h"
#include "core/linux/IniSettingsStore.h"
#include "core/linux/PostgresAccountStore.h"

#include <QCoreApplication>
#include <QStringList>
#include <cstdio>

namespace {

int usage()
{
    std::fprintf(stderr, "usage: timoradesk-room [--conninfo STRING] schema [KIOSK-ROLE]\n"
                         "       timoradesk-room [--conninfo STRING] show\n"
                         "       timoradesk-room [--conninfo STRING] import|export FILE\n");
    return 2;
}

// Run with the administrator's role, which owns the tables; the kiosks' role may then read and
// write their rows and nothing else.
int schema(PostgresAccountStore &room, const QString &kioskRole)
{
    room.createSchema();
    if (kioskRole.isEmpty()) {
        std::printf("the room's tables are there\n");
        return 0;
    }
    room.grantTo(kioskRole);
    std::printf("the room's tables are there; the role %s may read and write their rows\n",
                qPrintable(kioskRole));
    return 0;
}

int importFile(PostgresAccountStore &room, const QString &path)
{
    IniSettingsStore file(path);
    if (const QString refusal = file.refusal(); !refusal.isEmpty())
        return 1;
    const QList<AccountSlot> accounts = AccountTable::readSection(file);
    if (!room.replaceIfUnchanged(accounts, room.load().version)) {
        std::fprintf(stderr, "timoradesk-room: the room was changed meanwhile; nothing imported\n");
        return 1;
    }
    std::printf("%lld accounts imported\n", qlonglong(accounts.size()));
    return 0;
}

int exportFile(PostgresAccountStore &room, const QString &path)
{
    IniSettingsStore file(path);
    AccountTable table;
    table.setStore(&file);
    table.setAccounts(room.load().accounts);
    table.SaveAccounts();
    std::printf("%d accounts exported to %s\n", table.count(), qPrintable(path));
    return 0;
}

int show(PostgresAccountStore &room)
{
    const AccountStore::Table table = room.load();
    std::printf("version %lld\n%-4s %-20s %8s %-12s %8s\n", qlonglong(table.version), "slot",
                "user", "mins/day", "date", "left");
    for (int n = 0; n < table.accounts.size(); ++n) {
        const AccountSlot &a = table.accounts.at(n);
        std::printf("%-4d %-20s %8d %-12s %8d\n", n + 1, qPrintable(a.userId), a.minsPerDay,
                    qPrintable(a.lastDate), a.minsLeft);
    }
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    QString conninfo = QStringLiteral("service=") + PostgresAccountStore::ServiceName;
    if (args.value(0) == QStringLiteral("--conninfo")) {
        if (args.size() < 2)
            return usage();
        conninfo = args.at(1);
        args = args.mid(2);
    }
    const QString command = args.value(0);
    const bool withFile =
        command == QStringLiteral("import") || command == QStringLiteral("export");
    const bool withRole = command == QStringLiteral("schema") && args.size() == 2;
    if (args.size() != (withFile || withRole ? 2 : 1))
        return usage();

    PostgresAccountStore room(conninfo, PostgresAccountStore::defaultJournalPath());
    try {
        if (command == QStringLiteral("schema"))
            return schema(room, args.value(1));
        if (command == QStringLiteral("import"))
            return importFile(room, args.at(1));
        if (command == QStringLiteral("export"))
            return exportFile(room, args.at(1));
        if (command == QStringLiteral("show"))
            return show(room);
    } catch (const AppError &error) {
        // The store has written the server's message already; a file's failure is said here.
        std::fprintf(stderr, "timoradesk-room: %s\n", qPrintable(error.description()));
        return 1;
    }
    return usage();
}
