// timoradesk-room: sets up and looks after a room, the account table that several TimoraDesk
// computers share on a PostgreSQL server. TimoraDesk itself takes no command line; this is its
// administration command, run by the administrator with the same service file and .pgpass as the
// kiosk's system account (or --conninfo).
//
//   schema [ROLE] creates the tables where they are missing, turns last logon dates kept as
//                 text into dates, and lets the kiosks' ROLE use their rows
//   import FILE   the room's table becomes the settings file's accounts; the table it replaces
//                 is kept in FILE.replaced-<date and time>
//   export FILE   the settings file's section becomes the room's accounts
//   show          the room's table, without the passwords
//
// Dates are read and written in the form of this computer's locale.
#include "core/rules/AccountTable.h"
#include "core/rules/AppError.h"
#include "core/rules/FileAccountStore.h"
#include "core/rules/StoredDate.h"
#include "core/settings/IniSettingsStore.h"
#include "room/PostgresAccountStore.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QSettings>
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
    const int converted = room.migrateDates();
    std::printf("the room's tables are there\n");
    if (converted >= 0)
        std::printf("the last logon dates of %d rows were turned from text into dates, read as "
                    "dates of %s\n",
                    converted, qPrintable(QLocale().name()));
    if (kioskRole.isEmpty())
        return 0;
    room.grantTo(kioskRole);
    std::printf("the role %s may read and write the room's rows\n", qPrintable(kioskRole));
    return 0;
}

// A text safe to print on a terminal: control characters (escape sequences among them), the
// direction overrides and the backslash itself are written as escapes.
QString printable(const QString &text)
{
    QString out;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        const bool bidi = (u >= 0x202A && u <= 0x202E) || (u >= 0x2066 && u <= 0x2069);
        if (u == u'\\')
            out += QStringLiteral("\\\\");
        else if (u < 0x20 || u == 0x7F)
            out += QStringLiteral("\\x%1").arg(u, 2, 16, QLatin1Char('0'));
        else if ((u >= 0x80 && u <= 0x9F) || bidi)
            out += QStringLiteral("\\u%1").arg(u, 4, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out;
}

QString userIds(const QList<AccountSlot> &accounts)
{
    QStringList ids;
    for (const AccountSlot &a : accounts)
        ids.append(printable(a.userId));
    return ids.join(QStringLiteral(", "));
}

// Writes accounts into the settings file at path, as TimoraDesk would; a folder that is there
// keeps its mode.
void writeFile(const QString &path, const QList<AccountSlot> &accounts)
{
    IniSettingsStore file(path);
    file.keepFolderMode();
    if (const QString refusal = file.refusal(); !refusal.isEmpty())
        throw AppError(int(AppError::PathFileAccessError), refusal);
    FileAccountStore store(file);
    AccountTable table;
    table.setStore(&store);
    table.setAccounts(accounts);
    table.SaveAccounts();
}

int refuseImport(const QString &why)
{
    std::fprintf(stderr, "timoradesk-room: %s; nothing imported, the room is as it was\n",
                 qPrintable(why));
    return 1;
}

// The room's table becomes the file's accounts, only when the file is a settings file with
// accounts that read whole; the table replaced is first written, as export writes it, next to
// the file, so that it can be imported back.
int importFile(PostgresAccountStore &room, const QString &path)
{
    if (!QFileInfo(path).isFile())
        return refuseImport(path + QStringLiteral(" is not there or is no file"));
    IniSettingsStore file(path);
    if (const QString refusal = file.refusal(); !refusal.isEmpty())
        return refuseImport(refusal);
    QSettings settings(path, QSettings::IniFormat);
    if (settings.status() != QSettings::NoError ||
        !settings.childGroups().contains(AccountTable::Section))
        return refuseImport(path + QStringLiteral(" is not a settings file with the section [") +
                            AccountTable::Section + QLatin1Char(']'));
    if (file.value(AccountTable::Section, AccountTable::key("user", 1)).isEmpty())
        return refuseImport(path + QStringLiteral(" holds no account (user1 is missing or empty)"));
    const QList<AccountSlot> accounts = FileAccountStore::readSection(file);
    QStringList unreadable;
    for (int n = 1; n <= accounts.size(); ++n) {
        const QString &date = accounts.at(n - 1).lastDate;
        if (!date.trimmed().isEmpty() && !StoredDate::read(date))
            unreadable.append(QStringLiteral("date%1 \"%2\" (%3)")
                                  .arg(n)
                                  .arg(printable(date), printable(accounts.at(n - 1).userId)));
    }
    if (!unreadable.isEmpty())
        return refuseImport(QStringLiteral("%1 cannot be read as dates of this computer's locale "
                                           "(%2)")
                                .arg(unreadable.join(QStringLiteral(", ")), QLocale().name()));
    std::printf("read %lld accounts from %s: %s\n", qlonglong(accounts.size()),
                qPrintable(printable(path)), qPrintable(userIds(accounts)));

    const AccountStore::Table before = room.load();
    const bool roomHadAccounts = !before.keys.isEmpty() && before.keys.first() != 0;
    QString backup;
    if (roomHadAccounts) {
        const QString stamp =
            QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
        backup = path + QStringLiteral(".replaced-") + stamp;
        for (int n = 2; QFileInfo::exists(backup); ++n)
            backup = path + QStringLiteral(".replaced-%1-%2").arg(stamp).arg(n);
        try {
            writeFile(backup, before.accounts);
        } catch (const AppError &error) {
            return refuseImport(QStringLiteral("the room's accounts cannot be kept in ") + backup +
                                QStringLiteral(": ") + error.description());
        }
    }
    if (!room.replaceIfUnchanged(accounts, before.version)) {
        if (!backup.isEmpty())
            QFile::remove(backup);
        return refuseImport(QStringLiteral("the room was changed meanwhile"));
    }
    std::printf("%lld accounts imported\n", qlonglong(accounts.size()));
    if (roomHadAccounts)
        std::printf("the %lld accounts the room had (%s) are kept in %s; timoradesk-room import "
                    "%s puts them back\n",
                    qlonglong(before.accounts.size()), qPrintable(userIds(before.accounts)),
                    qPrintable(printable(backup)), qPrintable(printable(backup)));
    return 0;
}

int exportFile(PostgresAccountStore &room, const QString &path)
{
    const QList<AccountSlot> accounts = room.load().accounts;
    writeFile(path, accounts);
    std::printf("%lld accounts exported to %s\n", qlonglong(accounts.size()),
                qPrintable(printable(path)));
    return 0;
}

int show(PostgresAccountStore &room)
{
    const AccountStore::Table table = room.load();
    std::printf("version %lld\n%-4s %-20s %8s %-12s %8s\n", qlonglong(table.version), "slot",
                "user", "mins/day", "date", "left");
    for (int n = 0; n < table.accounts.size(); ++n) {
        const AccountSlot &a = table.accounts.at(n);
        std::printf("%-4d %-20s %8d %-12s %8d\n", n + 1, qPrintable(printable(a.userId)),
                    a.minsPerDay, qPrintable(printable(a.lastDate)), a.minsLeft);
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

    PostgresAccountStore room(conninfo, QFileInfo(IniSettingsStore::defaultPath()).absolutePath() +
                                            QStringLiteral("/room-journal"));
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
