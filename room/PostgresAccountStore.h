#pragma once

#include "RoomJournal.h"
#include "core/rules/AccountStore.h"

#include <QByteArrayList>
#include <functional>
#include <memory>

struct pg_conn;
struct pg_result;
class LibPq;

// A room's account table on a PostgreSQL server, through libpq (loaded at the first connection).
// The rows keep the settings file's ten slots and text forms (table accounts: slot, userid, pswd,
// mins, lft), the last logon date as a date, with a stable key (id) and the token of the session
// running on the account; table room holds the version of the whole table. Every write locks the
// room row first, so writes of all computers follow one another and each one sees what the one
// before it committed.
//
// A server reached over the network is used only with TLS and its certificate verified
// (sslmode=verify-full, sslrootcert) and with the password exchange bound to that TLS channel;
// a connection that asks for less is refused before anything is sent. Connecting, waiting for a
// lock and each statement have short timeouts, so that no computer waits long for the server and
// none holds the room's lock for the others.
//
// Every failure is written as one line on standard error with the server's own message, and
// thrown as AppError. A session end that the server cannot take is kept in a journal and
// delivered before anything else the next time the server is reached.
class PostgresAccountStore : public AccountStore
{
public:
    static inline const QString ServiceName = QStringLiteral("timoradesk");

    // The service file that libpq reads for this account ($PGSERVICEFILE, otherwise
    // ~/.pg_service.conf) when it defines the service timoradesk; empty otherwise.
    static QString serviceFile();
    // conninfo: a libpq connection string, "service=timoradesk" on a kiosk; journalPath: the
    // journal's file, in a private folder of the account (beside its settings file).
    // serviceFile, when given, is checked before every use: one that others may read or write
    // is refused.
    PostgresAccountStore(const QString &conninfo, const QString &journalPath,
                         const QString &serviceFile = QString());
    ~PostgresAccountStore() override;
    PostgresAccountStore(const PostgresAccountStore &) = delete;
    PostgresAccountStore &operator=(const PostgresAccountStore &) = delete;

    QString refusal() const override;
    // Empty: the server is first reached by a logon or by the journal's delivery.
    Table open() override;
    // Refused (AppError) while refusal() says so.
    Table load() override;
    Table table() const override { return m_table; }
    Logon logOn(const QString &user, const QString &password, const QString &today) override;
    QString openSession(qint64 key, const QString &today) override;
    void endSession(qint64 key, const QString &session, qint32 minutesLeft,
                    const QString &today) override;
    void changePassword(qint64 key, const QString &password) override;
    std::optional<Table> replaceIfUnchanged(const QList<AccountSlot> &accounts,
                                            qint64 version) override;
    void keep(const QList<AccountSlot> &) override {}
    bool shared() const override { return true; }

    // Creates the tables where they are missing; an existing table is left as it is.
    void createSchema();
    // Lets role (the kiosks' role) read and write the rows of both tables, and nothing more: it
    // owns nothing and may change no table. Run by the role that owns the tables.
    void grantTo(const QString &role);
    // Turns a room's last logon dates kept as text (by an older TimoraDesk) into dates, read in
    // this computer's locale; refuses, naming the rows and changing nothing, when a text does
    // not read. Returns how many rows were converted, -1 when the dates are dates already.
    int migrateDates();
    // Stores the session ends kept while the server was away; returns how many were stored.
    int deliverJournal();
    const RoomJournal &journal() const { return m_journal; }

    // How long making a connection may take, and how long a statement may wait for a lock or
    // run; a transaction left open by a program that stopped answering is ended by the server
    // after IdleTimeoutMs, so that the room's lock is never held longer.
    static constexpr int ConnectTimeoutMs = 3000;
    static constexpr int LockTimeoutMs = 3000;
    static constexpr int StatementTimeoutMs = 5000;
    static constexpr int IdleTimeoutMs = 5000;

    // The connection made without waiting for the server (while the logon window waits): every
    // call to connectStep() starts it or takes it on by one step once its socket is ready for what
    // the step asked (Reading, Writing). Connected: the store has a connection; Failed: why says
    // why, and the next call starts again.
    enum class Step { Reading, Writing, Connected, Failed };
    Step connectStep(QString *why);
    int connectingSocket() const;
    // Milliseconds until the connection being made is given up; connectStep() says Failed then.
    int connectingMsLeft() const;

private:
    using Result = std::unique_ptr<pg_result, void (*)(pg_result *)>;

    QString unsafeBecause() const;
    pg_conn *connection();
    // A new connection, started but not yet made; null (with why) when the connection string
    // or the service file asks for less than the room needs, or libpq cannot start it.
    pg_conn *startConnecting(QString *why);
    // The room's rules for the connection libpq would make; empty when they hold.
    QString unsafeConnection(pg_conn *conn) const;
    // BEGIN and the transaction's timeouts; false (with the server's message) on failure.
    bool begin(const char *begin, QString *message);
    void disconnect();
    [[noreturn]] void fail(const QString &what, const QString &message);
    Result exec(const char *sql, const QByteArrayList &params = {});
    // Runs body between BEGIN and COMMIT (ROLLBACK when it throws or returns false); a
    // connection found broken at BEGIN is made again once, since nothing was sent yet.
    bool transaction(const std::function<bool()> &body, const char *begin = "BEGIN");
    qint64 lockVersion();
    qint64 bumpVersion();
    // The rows in slot order, each field read as a settings file's field is read (AccountFields).
    Table readTable();
    // Stores one session end; false when the row no longer carries its session.
    bool storeEnd(const RoomJournal::Entry &entry);

    // The table as last read or written; a session end not yet stored shows in it.
    Table m_table;
    QByteArray m_conninfo;
    QString m_serviceFile;
    mutable QString m_reported;
    RoomJournal m_journal;
    // Why the journal could not be emptied after its last delivery, as last said.
    QString m_journalFault;
    const LibPq *m_pq = nullptr;
    pg_conn *m_conn = nullptr;
    // The connection connectStep() is making, and when it is given up (steady clock, ms).
    pg_conn *m_pending = nullptr;
    qint64 m_pendingDeadline = 0;
    // Added to the connection string: channel binding, for a server reached over the network.
    QByteArray m_tail;
};
