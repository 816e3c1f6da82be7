#pragma once

#include <QString>
#include <QTemporaryDir>

// A throw-away PostgreSQL 15 cluster in a temporary folder, reached only through a Unix socket
// in that folder (no TCP port): initdb, start, stop and removal at the end. Run as root, the
// server runs as the unprivileged account nobody, as PostgreSQL requires.
class PostgresCluster
{
public:
    // The folder of initdb, pg_ctl and postgres ($TIMORA_PG_BINDIR, else PostgreSQL 15's).
    static QString binDir();
    // Empty when the server's programs are there; otherwise what is missing.
    static QString missing();

    PostgresCluster();
    ~PostgresCluster();
    PostgresCluster(const PostgresCluster &) = delete;
    PostgresCluster &operator=(const PostgresCluster &) = delete;

    // Creates the cluster and its database timoradesk; false (with why in error()) on failure.
    bool create();
    bool start();
    bool stop();
    QString error() const { return m_error; }
    // A libpq connection string for the database timoradesk.
    QString conninfo() const;
    // Runs SQL through psql; false on failure.
    bool psql(const QString &sql);
    QString folder() const { return m_dir.path(); }

private:
    bool run(const QString &program, const QStringList &arguments);

    QTemporaryDir m_dir;
    QString m_error;
    bool m_running = false;
};
