// timoradesk-room, the room's administration command: a settings file imported into a room and
// exported back is the same file, and a failure says the server's reason.
#include "RoomFixture.h"

#include "core/linux/IniSettingsStore.h"

#include <QFile>
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
    AccountTable table;
    table.setStore(&file);
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
