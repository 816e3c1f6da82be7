#pragma once

#include <QString>
#include <QTemporaryDir>

// A throw-away PostgreSQL 15 cluster in a temporary folder, as a room's server on the network
// would be: TLS on the loopback address (a port free when the cluster is made) with a certificate
// of a throw-away certificate authority made with openssl, passwords checked with SCRAM, and
// no connection over TCP without TLS. Two roles: the administrator timora (superuser), which
// makes and owns the tables, and the kiosks' role kiosk, which only reads and writes rows once
// granted. A Unix socket in the folder serves psql without a password. initdb, start, stop and
// removal at the end. Run as root, the server runs as the unprivileged account nobody, as
// PostgreSQL requires.
class PostgresCluster
{
public:
    static inline const QString KioskRole = QStringLiteral("kiosk");

    // The folder of initdb, pg_ctl and postgres ($TIMORA_PG_BINDIR, else the newest PostgreSQL's).
    static QString binDir();
    // Empty when the server's programs (and openssl) are there; otherwise what is missing.
    static QString missing();
    // A TCP port on 127.0.0.1 that nothing listens on at the moment.
    static int freePort();

    // fsync off unless asked for: the tests need no durability, and the disk is shared.
    explicit PostgresCluster(int maxConnections = 40, bool fsync = false);
    ~PostgresCluster();
    PostgresCluster(const PostgresCluster &) = delete;
    PostgresCluster &operator=(const PostgresCluster &) = delete;

    // Creates the cluster, its certificates, its roles and its database timoradesk; false (with
    // why in error()) on failure.
    bool create();
    bool start();
    bool stop();
    QString error() const { return m_error; }
    // A libpq connection string for the database timoradesk as the kiosks' role, over TLS with
    // the server's certificate verified.
    QString conninfo() const;
    // The same as the administrator, which owns the tables.
    QString adminConninfo() const;
    // The certificate authority's certificate, the kiosks' sslrootcert.
    QString rootCertificate() const { return m_dir.path() + QStringLiteral("/ca.crt"); }
    int port() const { return m_port; }
    // The kiosks' role's password.
    static QString kioskPassword() { return QStringLiteral("kiosk-secret"); }
    // Runs SQL through psql as the administrator (or role) over the Unix socket; false on
    // failure.
    bool psql(const QString &sql, const QString &role = QStringLiteral("timora"));
    // The first value the SQL gives, as psql prints it; empty on failure.
    QString value(const QString &sql);
    QString folder() const { return m_dir.path(); }

private:
    bool run(const QString &program, const QStringList &arguments, bool asServer = true);
    bool makeCertificates();

    QTemporaryDir m_dir;
    QString m_error;
    QString m_output;
    int m_port = 0;
    int m_maxConnections = 40;
    bool m_fsync = false;
    bool m_running = false;
};
