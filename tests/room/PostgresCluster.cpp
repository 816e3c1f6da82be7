#include "PostgresCluster.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString AdminPassword = QStringLiteral("admin-secret");

// Root runs the server's programs as nobody.
bool asNobody()
{
    return ::geteuid() == 0;
}

bool giveToServer(const QString &path)
{
    if (!asNobody())
        return true;
    const passwd *nobody = ::getpwnam("nobody");
    return nobody &&
           ::chown(QFile::encodeName(path).constData(), nobody->pw_uid, nobody->pw_gid) == 0;
}

} // namespace

QString PostgresCluster::binDir()
{
    const QString dir = qEnvironmentVariable("TIMORA_PG_BINDIR");
    if (!dir.isEmpty())
        return dir;
    // The newest release installed (Debian 12 has 15, Debian 13 has 17).
    int newest = 0;
    const QDir versions(QStringLiteral("/usr/lib/postgresql"));
    for (const QString &name : versions.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool number = false;
        const int version = name.toInt(&number);
        if (number && version > newest &&
            QFileInfo::exists(versions.filePath(name) + QStringLiteral("/bin/initdb")))
            newest = version;
    }
    return QStringLiteral("/usr/lib/postgresql/%1/bin").arg(newest > 0 ? newest : 15);
}

QString PostgresCluster::missing()
{
    for (const char *program : {"initdb", "pg_ctl", "postgres", "psql", "openssl"}) {
        const QByteArray name(program);
        const QString path = name == "psql" ? QStringLiteral("/usr/bin/psql")
                             : name == "openssl"
                                 ? QStringLiteral("/usr/bin/openssl")
                                 : binDir() + QLatin1Char('/') + QString::fromLatin1(name);
        if (!QFileInfo(path).isExecutable())
            return path + QStringLiteral(" is missing (scripts/deps test installs it)");
    }
    if (asNobody() && !QFileInfo(QStringLiteral("/usr/sbin/runuser")).isExecutable())
        return QStringLiteral("/usr/sbin/runuser is missing");
    return {};
}

int PostgresCluster::freePort()
{
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (s >= 0 && ::bind(s, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0 &&
        ::getsockname(s, reinterpret_cast<sockaddr *>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    if (s >= 0)
        ::close(s);
    return port;
}

PostgresCluster::PostgresCluster(int maxConnections, bool fsync)
    : m_maxConnections(maxConnections), m_fsync(fsync)
{
    if (!giveToServer(m_dir.path()))
        m_error = QStringLiteral("cannot give the cluster's folder to nobody");
}

PostgresCluster::~PostgresCluster()
{
    stop();
}

bool PostgresCluster::run(const QString &program, const QStringList &arguments, bool asServer)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.setWorkingDirectory(m_dir.path());
    if (asServer && asNobody())
        p.start(QStringLiteral("/usr/sbin/runuser"),
                QStringList{QStringLiteral("-u"), QStringLiteral("nobody"), QStringLiteral("--"),
                            program} +
                    arguments);
    else
        p.start(program, arguments);
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        m_error = program + QStringLiteral(": ") + QString::fromLocal8Bit(p.readAll());
        return false;
    }
    return true;
}

bool PostgresCluster::makeCertificates()
{
    // A certificate authority of this cluster alone, and the server's certificate for the
    // loopback address signed by it; the kiosks trust the authority's certificate.
    const QString dir = m_dir.path() + QLatin1Char('/');
    const QString openssl = QStringLiteral("/usr/bin/openssl");
    const QStringList ec{QStringLiteral("-newkey"), QStringLiteral("ec"),
                         QStringLiteral("-pkeyopt"), QStringLiteral("ec_paramgen_curve:prime256v1"),
                         QStringLiteral("-nodes")};
    QFile extensions(dir + QStringLiteral("server.ext"));
    if (!extensions.open(QIODevice::WriteOnly) ||
        extensions.write("subjectAltName=IP:127.0.0.1,DNS:localhost\n") < 0)
        return false;
    extensions.close();
    const bool made =
        run(openssl,
            QStringList{QStringLiteral("req"), QStringLiteral("-x509")} + ec +
                QStringList{QStringLiteral("-keyout"), dir + QStringLiteral("ca.key"),
                            QStringLiteral("-out"), rootCertificate(), QStringLiteral("-days"),
                            QStringLiteral("2"), QStringLiteral("-subj"),
                            QStringLiteral("/CN=TimoraDesk test room CA")},
            false) &&
        run(openssl,
            QStringList{QStringLiteral("req")} + ec +
                QStringList{QStringLiteral("-keyout"), dir + QStringLiteral("server.key"),
                            QStringLiteral("-out"), dir + QStringLiteral("server.csr"),
                            QStringLiteral("-subj"), QStringLiteral("/CN=127.0.0.1")},
            false) &&
        run(openssl,
            {QStringLiteral("x509"), QStringLiteral("-req"), QStringLiteral("-in"),
             dir + QStringLiteral("server.csr"), QStringLiteral("-CA"), rootCertificate(),
             QStringLiteral("-CAkey"), dir + QStringLiteral("ca.key"),
             QStringLiteral("-CAcreateserial"), QStringLiteral("-out"),
             dir + QStringLiteral("server.crt"), QStringLiteral("-days"), QStringLiteral("2"),
             QStringLiteral("-extfile"), extensions.fileName()},
            false);
    // The server refuses a key that others can read.
    return made && ::chmod(QFile::encodeName(dir + QStringLiteral("server.key")), 0600) == 0 &&
           giveToServer(dir + QStringLiteral("server.key")) &&
           giveToServer(dir + QStringLiteral("server.crt"));
}

bool PostgresCluster::create()
{
    if (!m_error.isEmpty())
        return false;
    m_port = freePort();
    if (m_port == 0 || !makeCertificates()) {
        if (m_error.isEmpty())
            m_error = QStringLiteral("no free port or no certificate");
        return false;
    }
    if (!run(binDir() + QStringLiteral("/initdb"),
             {QStringLiteral("-D"), m_dir.path() + QStringLiteral("/data"), QStringLiteral("-U"),
              QStringLiteral("timora"), QStringLiteral("--auth=trust"), QStringLiteral("-E"),
              QStringLiteral("UTF8"), QStringLiteral("--locale=C"), QStringLiteral("--no-sync")}))
        return false;
    // psql over the socket in the folder without a password; over TCP only TLS with SCRAM.
    QFile hba(m_dir.path() + QStringLiteral("/data/pg_hba.conf"));
    if (!hba.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        hba.write("local all all trust\nhostssl all all 127.0.0.1/32 scram-sha-256\n") < 0) {
        m_error = QStringLiteral("cannot write pg_hba.conf");
        return false;
    }
    hba.close();
    return start() && psql(QStringLiteral("CREATE DATABASE timoradesk")) &&
           psql(QStringLiteral("ALTER ROLE timora PASSWORD '%1'; CREATE ROLE %2 LOGIN PASSWORD "
                               "'%3'")
                    .arg(AdminPassword, KioskRole, kioskPassword()));
}

bool PostgresCluster::start()
{
    if (m_running)
        return true;
    const QString dir = m_dir.path();
    const QString options =
        QStringLiteral("-c listen_addresses=127.0.0.1 -k %1 -p %2 -c fsync=%4 "
                       "-c max_connections=%3 -c ssl=on -c ssl_cert_file=%1/server.crt "
                       "-c ssl_key_file=%1/server.key")
            .arg(dir)
            .arg(m_port)
            .arg(m_maxConnections)
            .arg(m_fsync ? QStringLiteral("on") : QStringLiteral("off"));
    m_running = run(binDir() + QStringLiteral("/pg_ctl"),
                    {QStringLiteral("-D"), dir + QStringLiteral("/data"), QStringLiteral("-l"),
                     dir + QStringLiteral("/log"), QStringLiteral("-o"), options,
                     QStringLiteral("-w"), QStringLiteral("start")});
    return m_running;
}

bool PostgresCluster::stop()
{
    if (!m_running)
        return true;
    m_running =
        !run(binDir() + QStringLiteral("/pg_ctl"),
             {QStringLiteral("-D"), m_dir.path() + QStringLiteral("/data"), QStringLiteral("-m"),
              QStringLiteral("fast"), QStringLiteral("-w"), QStringLiteral("stop")});
    return !m_running;
}

QString PostgresCluster::conninfo() const
{
    return QStringLiteral("host=127.0.0.1 port=%1 user=%2 password=%3 dbname=timoradesk "
                          "sslmode=verify-full sslrootcert=%4")
        .arg(m_port)
        .arg(KioskRole, kioskPassword(), rootCertificate());
}

QString PostgresCluster::adminConninfo() const
{
    return QStringLiteral("host=127.0.0.1 port=%1 user=timora password=%2 dbname=timoradesk "
                          "sslmode=verify-full sslrootcert=%3")
        .arg(m_port)
        .arg(AdminPassword, rootCertificate());
}

bool PostgresCluster::psql(const QString &sql, const QString &role)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    const QString database = sql.startsWith(QStringLiteral("CREATE DATABASE"))
                                 ? QStringLiteral("postgres")
                                 : QStringLiteral("timoradesk");
    p.start(QStringLiteral("/usr/bin/psql"),
            {QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-At"),
             QStringLiteral("-v"), QStringLiteral("ON_ERROR_STOP=1"), QStringLiteral("-h"),
             m_dir.path(), QStringLiteral("-p"), QString::number(m_port), QStringLiteral("-U"),
             role, QStringLiteral("-d"), database, QStringLiteral("-c"), sql});
    const bool done = p.waitForFinished(60000) && p.exitCode() == 0;
    m_output = QString::fromLocal8Bit(p.readAll());
    if (!done) {
        m_error = QStringLiteral("psql: ") + m_output;
        return false;
    }
    return true;
}

QString PostgresCluster::value(const QString &sql)
{
    return psql(sql) ? m_output.section(QLatin1Char('\n'), 0, 0) : QString();
}
