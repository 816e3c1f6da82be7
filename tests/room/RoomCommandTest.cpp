// timoradesk-room, the room's administration command: a settings file imported into a room and
// exported back is the same file, and a failure says the server's reason.
#include "RoomFixture.h"

#include "core/rules/AccountTable.h"
#include "core/rules/FileAccountStore.h"
#include "core/settings/IniSettingsStore.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QProcess>

namespace {

class RoomCommand : public RoomFixture
{
protected:
    // Runs the command against the test's room; its exit code, standard output in out.
    int command(const QStringList &arguments, QString *out = nullptr,
                const QString &conninfo = QString(),
                const QString &locale = QStringLiteral("en_US"))
    {
        QProcess p;
        // The command reads and writes dates in the form of its computer's locale.
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("LC_ALL"), locale + QStringLiteral(".UTF-8"));
        p.setProcessEnvironment(environment);
        p.start(QStringLiteral(TIMORADESK_ROOM_PATH),
                QStringList{QStringLiteral("--conninfo"),
                            conninfo.isEmpty() ? cluster().conninfo() : conninfo} +
                    arguments);
        p.waitForFinished(60000);
        if (out)
            *out = QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    }
    static QByteArray bytes(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
};

TEST_F(RoomCommand, AFileImportedAndExportedBackIsTheSameFile)
{
    const QString in = homes.path() + QStringLiteral("/in/TimoraV2.ini");
    const QString out = homes.path() + QStringLiteral("/out/TimoraV2.ini");
    IniSettingsStore file(in);
    FileAccountStore fileStore(file);
    AccountTable table;
    table.setStore(&fileStore);
    QList<AccountSlot> accounts{
        {AccountTable::AdminId, QStringLiteral("BOSS"), -1, QStringLiteral("12/8/2026"), -1}};
    for (int n = 2; n <= AccountTable::MaxAccounts; ++n)
        accounts.append({QStringLiteral("USER %1, Ü").arg(n), QStringLiteral("PW=%1").arg(n),
                         n * 10, QStringLiteral("12/%1/2026").arg(n), n});
    table.setAccounts(accounts);
    table.SaveAccounts();

    QString said;
    ASSERT_EQ(command({QStringLiteral("import"), in}, &said), 0) << qPrintable(said);
    EXPECT_EQ(stored(), accounts);
    ASSERT_EQ(command({QStringLiteral("export"), out}, &said), 0) << qPrintable(said);
    EXPECT_FALSE(bytes(in).isEmpty());
    EXPECT_EQ(bytes(out), bytes(in)) << "the same file, byte for byte";
    ASSERT_EQ(command({QStringLiteral("show")}, &said), 0);
    EXPECT_TRUE(said.contains(QStringLiteral("USER 10, Ü"))) << qPrintable(said);
    EXPECT_FALSE(said.contains(QStringLiteral("PW=10"))) << "show leaves the passwords out";
}

TEST_F(RoomCommand, AServerThatCannotBeReachedIsOneLineWithItsReason)
{
    QString said;
    EXPECT_EQ(command({QStringLiteral("show")}, &said,
                      cluster().conninfo() + QStringLiteral(" dbname=nosuchroom")),
              1);
    EXPECT_TRUE(said.contains(QStringLiteral("\"nosuchroom\" does not exist"))) << qPrintable(said);
    EXPECT_EQ(command({QStringLiteral("import")}), 2) << "a missing file name is a usage error";
}

} // namespace

namespace {

class RoomImport : public RoomCommand
{
protected:
    QString writeFile(const QString &name, const QByteArray &content)
    {
        const QString path = homes.path() + QLatin1Char('/') + name;
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
        file.close();
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
        return path;
    }
    const QList<AccountSlot> room{
        {AccountTable::AdminId, QStringLiteral("BOSS"), -1, QStringLiteral("12/8/2026"), -1},
        {QStringLiteral("KID"), QStringLiteral("PW"), 60, QStringLiteral("12/7/2026"), 12}};
};

TEST_F(RoomImport, AMissingOrForeignFileOrOneWithoutAccountsLeavesTheRoomAsItWas)
{
    put(room);
    const QString missing = homes.path() + QStringLiteral("/no/such/file");
    const QString notIni = writeFile(QStringLiteral("notes.txt"), "just some notes\n");
    const QString otherSection =
        writeFile(QStringLiteral("other.ini"), "[General]\nuser1=EVE\npswd1=X\n");
    const QString noAccount =
        writeFile(QStringLiteral("empty.ini"), "[SecData]\nuser1=\npswd1=X\nmins1=5\n");
    const QString foreignDate = writeFile(
        QStringLiteral("german.ini"),
        "[SecData]\nuser1=ADMINISTRATOR\npswd1=X\nmins1=-1\ndate1=31.12.2026\nleft1=-1\n");
    for (const QString &path : {missing, notIni, otherSection, noAccount, foreignDate}) {
        QString said;
        EXPECT_EQ(command({QStringLiteral("import"), path}, &said), 1) << qPrintable(path);
        EXPECT_TRUE(said.contains(QStringLiteral("nothing imported"))) << qPrintable(said);
        EXPECT_FALSE(said.contains(QStringLiteral("accounts imported"))) << qPrintable(said);
        EXPECT_EQ(stored(), room) << qPrintable(path);
    }
    QString said;
    command({QStringLiteral("import"), foreignDate}, &said);
    EXPECT_TRUE(said.contains(QStringLiteral("date1 \"31.12.2026\""))) << qPrintable(said);
    // Read in its own computer's locale, the same file is taken.
    EXPECT_EQ(
        command({QStringLiteral("import"), foreignDate}, &said, QString(), QStringLiteral("de_DE")),
        0)
        << qPrintable(said);
    EXPECT_EQ(stored().at(0).lastDate, QStringLiteral("12/31/2026"));
}

TEST_F(RoomImport, SaysWhatItReadAndKeepsTheReplacedTableToImportBack)
{
    put(room);
    const QString path = writeFile(
        QStringLiteral("new.ini"),
        "[SecData]\nuser1=ADMINISTRATOR\npswd1=NEW\nmins1=-1\ndate1=2026-12-01\nleft1=-1\n"
        "user2=ANN\npswd2=PW\nmins2=30\ndate2=\nleft2=30\n");
    QString said;
    ASSERT_EQ(command({QStringLiteral("import"), path}, &said), 0) << qPrintable(said);
    EXPECT_TRUE(said.contains(QStringLiteral("read 2 accounts"))) << qPrintable(said);
    EXPECT_TRUE(said.contains(QStringLiteral("ADMINISTRATOR, ANN"))) << qPrintable(said);
    ASSERT_EQ(stored().size(), 2);
    EXPECT_EQ(stored().at(1).userId, QStringLiteral("ANN"));
    EXPECT_EQ(stored().at(0).lastDate, QStringLiteral("12/1/2026"));

    const QStringList backups =
        QDir(homes.path()).entryList({QStringLiteral("new.ini.replaced-*")});
    ASSERT_EQ(backups.size(), 1) << qPrintable(said);
    const QString backup = homes.path() + QLatin1Char('/') + backups.first();
    EXPECT_TRUE(said.contains(backup)) << qPrintable(said);
    ASSERT_EQ(command({QStringLiteral("import"), backup}, &said), 0) << qPrintable(said);
    EXPECT_EQ(stored(), room) << "the backup puts the old table back";
}

TEST_F(RoomCommand, ShowEscapesControlCharactersOfUserIds)
{
    put({{AccountTable::AdminId, QStringLiteral("BOSS"), -1, QString(), -1},
         {QStringLiteral("\x1b]0;owned\x07\x1b[2J\\"), QStringLiteral("PW"), 5, QString(), 5}});
    QString said;
    ASSERT_EQ(command({QStringLiteral("show")}, &said), 0);
    EXPECT_FALSE(said.contains(QChar(0x1b))) << "no escape byte reaches the terminal";
    EXPECT_FALSE(said.contains(QChar(0x07)));
    EXPECT_TRUE(said.contains(QStringLiteral("\\x1b]0;owned\\x07\\x1b[2J\\\\")))
        << qPrintable(said);
}

TEST_F(RoomCommand, ExportLeavesTheModeOfAnExistingFolder)
{
    put({{AccountTable::AdminId, QStringLiteral("BOSS"), -1, QString(), -1}});
    const QString folder = homes.path() + QStringLiteral("/shared");
    ASSERT_TRUE(QDir().mkpath(folder));
    ASSERT_TRUE(QFile::setPermissions(
        folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup |
                    QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther));
    const QFile::Permissions before = QFile::permissions(folder);
    QString said;
    ASSERT_EQ(command({QStringLiteral("export"), folder + QStringLiteral("/out.ini")}, &said), 0)
        << qPrintable(said);
    EXPECT_EQ(QFile::permissions(folder), before);
    EXPECT_EQ(QFile::permissions(folder + QStringLiteral("/out.ini")) & 0x0077, 0)
        << "the file itself is private";
}

TEST_F(RoomCommand, SchemaTurnsTextDatesIntoDatesOrNamesTheRowsItCannotRead)
{
    // A room made by an older TimoraDesk: dates as en_US text.
    ASSERT_TRUE(cluster().psql(QStringLiteral(
        "DROP TABLE accounts; CREATE TABLE accounts (id bigint GENERATED BY DEFAULT AS IDENTITY "
        "PRIMARY KEY, slot integer, userid text, pswd text, mins text, date text, lft text, "
        "session text); INSERT INTO accounts (slot, userid, pswd, mins, date, lft) VALUES "
        "(1, 'ADMINISTRATOR', 'BOSS', '-1', '01/01/1998', '-1'), "
        "(2, 'KID', 'PW', '60', '12/9/2026', '0'), (3, 'ANN', 'PW', '60', '', '60'), "
        "(4, 'ISO', 'PW', '60', '2026-12-01', '60')")));
    QString said;
    // The schema is the administrator's role's work; the kiosks' role may not create tables.
    const QString owner = cluster().adminConninfo();
    EXPECT_EQ(command({QStringLiteral("schema")}, &said, owner, QStringLiteral("de_DE")), 1);
    EXPECT_TRUE(said.contains(QStringLiteral("slot 2 KID \"12/9/2026\""))) << qPrintable(said);
    EXPECT_FALSE(said.contains(QStringLiteral("ISO"))) << qPrintable(said);
    EXPECT_TRUE(said.contains(QStringLiteral("nothing was changed"))) << qPrintable(said);

    ASSERT_EQ(command({QStringLiteral("schema")}, &said, owner), 0) << qPrintable(said);
    EXPECT_TRUE(said.contains(QStringLiteral("4 rows"))) << qPrintable(said);
    QList<AccountSlot> table = stored();
    ASSERT_EQ(table.size(), 4);
    EXPECT_EQ(table.at(0).lastDate, QStringLiteral("1/1/1998"));
    EXPECT_EQ(table.at(1).lastDate, QStringLiteral("12/9/2026"));
    EXPECT_EQ(table.at(2).lastDate, QString());
    EXPECT_EQ(table.at(3).lastDate, QStringLiteral("12/1/2026"));
    QLocale::setDefault(QLocale(QStringLiteral("de_DE")));
    EXPECT_EQ(stored().at(1).lastDate, QStringLiteral("09.12.2026"));
    ASSERT_EQ(command({QStringLiteral("schema")}, &said, owner), 0)
        << "once migrated, there is no more";
    EXPECT_FALSE(said.contains(QStringLiteral("rows"))) << qPrintable(said);
}

} // namespace
