// A room's server on the network: the connection is TLS with the server's certificate verified
// or nothing is sent; the kiosks' role reads and writes rows and changes no table; a lock held
// elsewhere, a server that never answers or one that restarted hold no computer for longer than
// the store's timeouts; the journal reaches the server as soon as it is back.
#include "RoomFixture.h"

#include "core/rules/AppError.h"
#include "room/RoomJournalDelivery.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryFile>
#include <QTimer>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace RoomAccounts;

// Standard error of this process, written to a file while the object lives.
class CapturedStderr
{
public:
    CapturedStderr()
    {
        std::fflush(stderr);
        m_file.open();
        m_saved = ::dup(2);
        ::dup2(m_file.handle(), 2);
    }
    ~CapturedStderr() { restore(); }
    QString text()
    {
        restore();
        QFile file(m_file.fileName());
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

private:
    void restore()
    {
        if (m_saved < 0)
            return;
        std::fflush(stderr);
        ::dup2(m_saved, 2);
        ::close(m_saved);
        m_saved = -1;
    }
    QTemporaryFile m_file;
    int m_saved = -1;
};

// A server that takes TCP connections on the loopback address and never says a word.
class SilentServer
{
public:
    SilentServer()
    {
        // Not blocking: received() takes the connections waiting, if any.
        m_socket = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(m_socket, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0 &&
            ::listen(m_socket, 16) == 0 &&
            ::getsockname(m_socket, reinterpret_cast<sockaddr *>(&address), &length) == 0)
            m_port = ntohs(address.sin_port);
    }
    ~SilentServer()
    {
        for (const int client : m_clients)
            ::close(client);
        ::close(m_socket);
    }
    int port() const { return m_port; }
    // The bytes the clients have sent so far, over every connection taken.
    QByteArray received()
    {
        for (;;) {
            const int client = ::accept4(m_socket, nullptr, nullptr, SOCK_NONBLOCK);
            if (client < 0)
                break;
            m_clients.push_back(client);
        }
        QByteArray all;
        for (const int client : m_clients) {
            char buffer[4096];
            ssize_t n;
            while ((n = ::recv(client, buffer, sizeof buffer, MSG_DONTWAIT)) > 0)
                all.append(buffer, int(n));
        }
        return all;
    }

private:
    int m_socket = -1;
    int m_port = 0;
    std::vector<int> m_clients;
};

class RoomNetwork : public RoomFixture
{
protected:
    void TearDown() override
    {
        qunsetenv("PGSERVICEFILE");
        if (!HasFatalFailure() && !IsSkipped())
            cluster().start();
    }
    // A service file timoradesk with these lines, 0600; PGSERVICEFILE names it.
    QString serviceFile(const QString &lines)
    {
        const QString path = homes.path() + QStringLiteral("/pg_service.conf");
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write("[timoradesk]\n" + lines.toUtf8() + '\n');
        file.close();
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
        qputenv("PGSERVICEFILE", QFile::encodeName(path));
        return path;
    }
    std::unique_ptr<PostgresAccountStore> kiosk(const QString &service)
    {
        return std::make_unique<PostgresAccountStore>(QStringLiteral("service=timoradesk"),
                                                      homes.path() + QStringLiteral("/journal"),
                                                      service);
    }
    QString tcp(int port) const
    {
        return QStringLiteral("host=127.0.0.1\nport=%1\ndbname=timoradesk\nuser=%2\npassword=%3")
            .arg(port)
            .arg(PostgresCluster::KioskRole, PostgresCluster::kioskPassword());
    }
    // The kiosks' role's connections, with TLS or without.
    static int connections(bool tls)
    {
        return cluster()
            .value(QStringLiteral("SELECT count(*) FROM pg_stat_activity a JOIN pg_stat_ssl s "
                                  "USING (pid) WHERE a.usename = 'kiosk' AND s.ssl = %1")
                       .arg(tls ? QStringLiteral("true") : QStringLiteral("false")))
            .toInt();
    }
};

TEST_F(RoomNetwork, AServiceFileThatAsksForLessThanAVerifiedServerSendsNothing)
{
    put({Admin, Kid});
    SilentServer fake;
    ASSERT_NE(fake.port(), 0);
    const QString root = QStringLiteral("\nsslrootcert=") + cluster().rootCertificate();
    const struct
    {
        const char *name;
        QString lines;
        const char *said;
    } cases[] = {
        {"no sslmode", tcp(fake.port()) + root, "sslmode=prefer"},
        {"prefer", tcp(fake.port()) + root + QStringLiteral("\nsslmode=prefer"), "sslmode=prefer"},
        {"allow", tcp(fake.port()) + root + QStringLiteral("\nsslmode=allow"), "sslmode=allow"},
        {"require", tcp(fake.port()) + root + QStringLiteral("\nsslmode=require"),
         "sslmode=require"},
        {"verify-ca", tcp(fake.port()) + root + QStringLiteral("\nsslmode=verify-ca"),
         "sslmode=verify-ca"},
        {"no root certificate", tcp(fake.port()) + QStringLiteral("\nsslmode=verify-full"),
         "names no sslrootcert"},
        {"a host name among sockets",
         QStringLiteral("host=/tmp,localhost\nport=%1\nsslmode=disable").arg(fake.port()),
         "sslmode=disable"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = serviceFile(c.lines);
        auto store = kiosk(path);
        Computer pc(std::move(store));
        CapturedStderr err;
        const Logon logOn = pc.logOn(QStringLiteral("KID"), QStringLiteral("PW"), Today);
        const QString said = err.text();
        EXPECT_EQ(logOn.outcome, Logon::StoreRefused);
        EXPECT_EQ(logOn.refusal, AccountTable::ServerAwayText);
        EXPECT_TRUE(said.contains(QLatin1String(c.said)) && said.contains(path))
            << qPrintable(said);
        EXPECT_EQ(said.count(QLatin1Char('\n')), 1) << "one line: " << qPrintable(said);
        EXPECT_EQ(fake.received(), QByteArray()) << "not even the start-up packet";
    }

    // Verified, the same logon goes through, encrypted.
    serviceFile(tcp(cluster().port()) + root + QStringLiteral("\nsslmode=verify-full"));
    Computer pc(kiosk(QString::fromLocal8Bit(qgetenv("PGSERVICEFILE"))));
    ASSERT_EQ(pc.logOn(QStringLiteral("KID"), QStringLiteral("PW"), Today).outcome,
              Logon::LoggedOn);
    EXPECT_EQ(connections(true), 1);
    EXPECT_EQ(connections(false), 0);
}

TEST_F(RoomNetwork, AServerWhoseCertificateTheRootDoesNotSignIsNotReached)
{
    put({Admin, Kid});
    // The server's own certificate is no authority: nothing signed it but the test's CA.
    const QString other = cluster().folder() + QStringLiteral("/server.crt");
    PostgresAccountStore wrong(cluster().conninfo() + QStringLiteral(" sslrootcert=") + other,
                               homes.path() + QStringLiteral("/wrong"));
    CapturedStderr err;
    EXPECT_THROW(wrong.load(), AppError);
    EXPECT_TRUE(err.text().contains(QStringLiteral("certificate verify failed")));
    // The right server under another name than its certificate's.
    PostgresAccountStore name(cluster().conninfo() +
                                  QStringLiteral(" host=room.example hostaddr=127.0.0.1"),
                              homes.path() + QStringLiteral("/name"));
    CapturedStderr named;
    EXPECT_THROW(name.load(), AppError);
    EXPECT_TRUE(named.text().contains(QStringLiteral("does not match host name \"room.example\"")));
}

TEST_F(RoomNetwork, ASocketOnThisMachineNeedsNoTls)
{
    put({Admin, Kid});
    serviceFile(QStringLiteral("host=%1\nport=%2\ndbname=timoradesk\nuser=%3")
                    .arg(cluster().folder())
                    .arg(cluster().port())
                    .arg(PostgresCluster::KioskRole));
    Computer pc(kiosk(QString::fromLocal8Bit(qgetenv("PGSERVICEFILE"))));
    EXPECT_EQ(pc.logOn(QStringLiteral("KID"), QStringLiteral("PW"), Today).outcome,
              Logon::LoggedOn);
}

TEST_F(RoomNetwork, TheKiosksRoleWritesRowsAndChangesNoTable)
{
    put({Admin, Kid});
    const QString kiosk = PostgresCluster::KioskRole;
    for (const char *statement :
         {"DROP TABLE accounts", "ALTER TABLE accounts ADD COLUMN x integer", "TRUNCATE accounts",
          "CREATE TABLE other (a integer)", "ALTER TABLE room DROP COLUMN version",
          "ALTER TABLE accounts OWNER TO kiosk", "DROP TABLE room"}) {
        EXPECT_FALSE(cluster().psql(QLatin1String(statement), kiosk)) << statement;
    }
    EXPECT_TRUE(
        cluster().psql(QStringLiteral("UPDATE accounts SET lft = '5' WHERE slot = 2"), kiosk))
        << qPrintable(cluster().error());

    // A room made the old way, where the kiosks' role owned the database and the tables, is
    // taken over by the administrator.
    ASSERT_TRUE(cluster().psql(QStringLiteral("ALTER TABLE accounts OWNER TO kiosk; ALTER TABLE "
                                              "room OWNER TO kiosk; ALTER DATABASE timoradesk "
                                              "OWNER TO kiosk")));
    EXPECT_TRUE(cluster().psql(QStringLiteral("ALTER TABLE accounts ADD COLUMN y integer; ALTER "
                                              "TABLE accounts DROP COLUMN y"),
                               kiosk));
    admin->grantTo(kiosk);
    EXPECT_FALSE(cluster().psql(QStringLiteral("DROP TABLE accounts"), kiosk));
    EXPECT_EQ(cluster().value(QStringLiteral("SELECT pg_get_userbyid(datdba) FROM pg_database "
                                             "WHERE datname = 'timoradesk'")),
              QStringLiteral("timora"));
    Computer pc(computer());
    EXPECT_EQ(pc.logOn(QStringLiteral("KID"), QStringLiteral("PW"), Today).outcome,
              Logon::LoggedOn);

    // Never to the administrator itself, nor to a superuser.
    CapturedStderr err;
    EXPECT_THROW(admin->grantTo(QStringLiteral("timora")), AppError);
    EXPECT_TRUE(err.text().contains(QStringLiteral("superuser")));

    QProcess command;
    command.start(
        QStringLiteral(TIMORADESK_ROOM_PATH),
        {QStringLiteral("--conninfo"), cluster().adminConninfo(), QStringLiteral("schema"), kiosk});
    ASSERT_TRUE(command.waitForFinished(30000));
    EXPECT_EQ(command.exitCode(), 0) << command.readAllStandardError().constData();
    EXPECT_TRUE(command.readAllStandardOutput().contains("the role kiosk may read and write"));
}

TEST_F(RoomNetwork, ALockHeldElsewhereRefusesTheLogonWithinTheLockTimeout)
{
    put({Admin, Kid});
    Computer pc(computer());
    ASSERT_EQ(pc.logOn(QStringLiteral("KID"), QStringLiteral("NO"), Today).outcome, Logon::Invalid)
        << "connected before the lock is taken";

    QProcess holder;
    holder.setProcessChannelMode(QProcess::MergedChannels);
    holder.start(QStringLiteral("/usr/bin/psql"),
                 {QStringLiteral("-X"), QStringLiteral("-At"), QStringLiteral("-h"),
                  cluster().folder(), QStringLiteral("-p"), QString::number(cluster().port()),
                  QStringLiteral("-U"), QStringLiteral("timora"), QStringLiteral("-d"),
                  QStringLiteral("timoradesk")});
    holder.write("BEGIN;\nSELECT 'held', version FROM room FOR UPDATE;\n");
    while (!holder.readAll().contains("held"))
        ASSERT_TRUE(holder.waitForReadyRead(10000));

    CapturedStderr err;
    QElapsedTimer clock;
    clock.start();
    const Logon logOn = pc.logOn(QStringLiteral("KID"), QStringLiteral("PW"), Today);
    const qint64 ms = clock.elapsed();
    const QString said = err.text();
    std::printf("a logon against a held lock was refused after %lld ms\n", qlonglong(ms));
    EXPECT_EQ(logOn.refusal, AccountTable::ServerAwayText);
    EXPECT_GE(ms, PostgresAccountStore::LockTimeoutMs - 100);
    EXPECT_LT(ms, PostgresAccountStore::LockTimeoutMs + 1500);
    EXPECT_TRUE(said.contains(QStringLiteral("room's lock"))) << qPrintable(said);

    holder.write("ROLLBACK;\n\\q\n");
    holder.closeWriteChannel();
    EXPECT_TRUE(holder.waitForFinished(10000));
    EXPECT_EQ(pc.logOn(QStringLiteral("KID"), QStringLiteral("PW"), Today).outcome,
              Logon::LoggedOn);
}

TEST_F(RoomNetwork, AServerThatNeverAnswersHoldsALogonForTheConnectTimeoutOnly)
{
    SilentServer silent;
    serviceFile(tcp(silent.port()) + QStringLiteral("\nsslmode=verify-full\nsslrootcert=") +
                cluster().rootCertificate());
    Computer pc(kiosk(QString::fromLocal8Bit(qgetenv("PGSERVICEFILE"))));
    QElapsedTimer clock;
    clock.start();
    CapturedStderr err;
    const Logon logOn = pc.logOn(QStringLiteral("KID"), QStringLiteral("PW"), Today);
    const qint64 ms = clock.elapsed();
    std::printf("a logon against a silent server was refused after %lld ms\n", qlonglong(ms));
    EXPECT_EQ(logOn.refusal, AccountTable::ServerAwayText);
    EXPECT_GE(ms, PostgresAccountStore::ConnectTimeoutMs - 100);
    EXPECT_LT(ms, PostgresAccountStore::ConnectTimeoutMs + 1000);
    EXPECT_TRUE(err.text().contains(QStringLiteral("no answer within 3 s")));

    // Starting and waiting: neither the table's load nor the journal's delivery waits for it.
    clock.restart();
    AccountTable table;
    table.setStore(pc.store.get());
    table.LoadAccounts();
    RoomJournalDelivery delivery(*pc.store);
    delivery.start();
    EXPECT_LT(clock.elapsed(), 100);
}

TEST_F(RoomNetwork, ARestartedServerIsReachedAgainWithoutAStaleMessage)
{
    put({Admin, Kid});
    Computer pc(computer());
    ASSERT_EQ(pc.logOn(QStringLiteral("KID"), QStringLiteral("PW"), Today).outcome,
              Logon::LoggedOn);
    ASSERT_TRUE(cluster().stop());
    ASSERT_TRUE(cluster().start());
    CapturedStderr err;
    pc.endSession(44, Today);
    EXPECT_EQ(err.text(), QString());
    EXPECT_EQ(stored().at(1).minsLeft, 44);
}

TEST_F(RoomNetwork, TheJournalIsDeliveredWhileTheLogonWindowWaits)
{
    put({Admin, Kid});
    const QString journal = homes.path() + QStringLiteral("/pc/journal");
    {
        Computer pc(computer(QStringLiteral("pc")));
        ASSERT_EQ(pc.logOn(QStringLiteral("KID"), QStringLiteral("PW"), Today).outcome,
                  Logon::LoggedOn);
        ASSERT_TRUE(cluster().stop());
        EXPECT_THROW(pc.endSession(17, Today), AppError);
    }

    // The program starts again while the server is still away, and waits for a logon.
    PostgresAccountStore next(cluster().conninfo(), journal);
    CapturedStderr err;
    RoomJournalDelivery delivery(next, 200);
    delivery.start();
    QEventLoop loop;
    QTimer::singleShot(1000, &loop, &QEventLoop::quit);
    loop.exec();
    EXPECT_EQ(next.journal().entries().size(), 1);
    ASSERT_TRUE(cluster().start());
    QElapsedTimer clock;
    clock.start();
    while (!next.journal().isEmpty() && clock.elapsed() < 10000) {
        QTimer::singleShot(50, &loop, &QEventLoop::quit);
        loop.exec();
    }
    const QString said = err.text();
    std::printf("the journal was delivered %lld ms after the server was back\n",
                qlonglong(clock.elapsed()));
    EXPECT_TRUE(next.journal().isEmpty());
    EXPECT_EQ(delivery.delivered(), 1);
    EXPECT_EQ(stored().at(1), (AccountSlot{Kid.userId, Kid.password, 60, Today, 17}));
    EXPECT_EQ(said.count(QLatin1Char('\n')), 1)
        << "the server away said once: " << qPrintable(said);
    EXPECT_TRUE(said.contains(QStringLiteral("stored as soon as it answers"))) << qPrintable(said);
}

} // namespace
