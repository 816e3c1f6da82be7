#include "PostgresCluster.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <pwd.h>
#include <unistd.h>

namespace {

const int Port = 15432;

// Root runs the server's programs as nobody.
bool asNobody()
{
    return ::geteuid() == 0;
}

} // namespace

QString PostgresCluster::binDir()
{
    const QString dir = qEnvironmentVariable("TIMORA_PG_BINDIR");
    return dir.isEmpty() ? QStringLiteral("/usr/lib/postgresql/15/bin") : dir;
}

QString PostgresCluster::missing()
{
    for (const char *program : {"initdb", "pg_ctl", "postgres", "psql"}) {
        const QString path = program == QByteArray("psql")
                                 ? QStringLiteral("/usr/bin/psql")
                                 : binDir() + QLatin1Char('/') + QLatin1String(program);
        if (!QFileInfo(path).isExecutable())
            return path + QStringLiteral(" is missing (scripts/deps test installs it)");
    }
    if (asNobody() && !QFileInfo(QStringLiteral("/usr/sbin/runuser")).isExecutable())
        return QStringLiteral("/usr/sbin/runuser is missing");
    return {};
}

PostgresCluster::PostgresCluster()
{
    if (asNobody()) {
        const passwd *nobody = ::getpwnam("nobody");
        if (nobody && ::chown(QFile::encodeName(m_dir.path()).constData(), nobody->pw_uid,
                              nobody->pw_gid) != 0)
            m_error = QStringLiteral("cannot give the cluster's folder to nobody");
    }
}

PostgresCluster::~PostgresCluster()
{
    stop();
}

bool PostgresCluster::run(const QString &program, const QStringList &arguments)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.setWorkingDirectory(m_dir.path());
    if (asNobody())
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

bool PostgresCluster::create()
{
    if (!m_error.isEmpty())
        return false;
    if (!run(binDir() + QStringLiteral("/initdb"),
             {QStringLiteral("-D"), m_dir.path() + QStringLiteral("/data"), QStringLiteral("-U"),
              QStringLiteral("timora"), QStringLiteral("--auth=trust"), QStringLiteral("-E"),
              QStringLiteral("UTF8"), QStringLiteral("--locale=C"), QStringLiteral("--no-sync")}))
        return false;
    return start() && psql(QStringLiteral("CREATE DATABASE timoradesk"));
}

bool PostgresCluster::start()
{
    if (m_running)
        return true;
    const QString options =
        QStringLiteral("-c listen_addresses='' -k %1 -p %2 -c fsync=off -c max_connections=40")
            .arg(m_dir.path())
            .arg(Port);
    m_running = run(binDir() + QStringLiteral("/pg_ctl"),
                    {QStringLiteral("-D"), m_dir.path() + QStringLiteral("/data"),
                     QStringLiteral("-l"), m_dir.path() + QStringLiteral("/log"),
                     QStringLiteral("-o"), options, QStringLiteral("-w"), QStringLiteral("start")});
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
    return QStringLiteral("host=%1 port=%2 user=timora dbname=timoradesk")
        .arg(m_dir.path())
        .arg(Port);
}

bool PostgresCluster::psql(const QString &sql)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    const QString database = sql.startsWith(QStringLiteral("CREATE DATABASE"))
                                 ? QStringLiteral("postgres")
                                 : QStringLiteral("timoradesk");
    p.start(QStringLiteral("/usr/bin/psql"),
            {QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-v"),
             QStringLiteral("ON_ERROR_STOP=1"), QStringLiteral("-h"), m_dir.path(),
             QStringLiteral("-p"), QString::number(Port), QStringLiteral("-U"),
             QStringLiteral("timora"), QStringLiteral("-d"), database, QStringLiteral("-c"), sql});
    if (!p.waitForFinished(60000) || p.exitCode() != 0) {
        m_error = QStringLiteral("psql: ") + QString::fromLocal8Bit(p.readAll());
        return false;
    }
    return true;
}
