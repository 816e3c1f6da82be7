#pragma once

#include "core/rules/AccountStore.h"

#include <QMap>

// An account store held in memory, for tests: the rules of a store (LogonRule, session tokens,
// replace only if unchanged) over a list, with writes that can be made to fail and changes made
// "on another computer". A write that fails changes nothing.
class MemoryAccountStore : public AccountStore
{
public:
    // An empty store: its table is the first-run administrator.
    MemoryAccountStore();
    explicit MemoryAccountStore(const QList<AccountSlot> &accounts);

    QString refusal() const override { return refusedBecause; }
    Table open() override;
    Table load() override;
    Table table() const override { return m_table; }
    Logon logOn(const QString &user, const QString &password, const QString &today) override;
    QString openSession(qint64 key, const QString &today) override;
    void endSession(qint64 key, const QString &session, qint32 minutesLeft,
                    const QString &today) override;
    void changePassword(qint64 key, const QString &password) override;
    std::optional<Table> replaceIfUnchanged(const QList<AccountSlot> &accounts,
                                            qint64 version) override;
    // Taken as the table unless the store is shared.
    void keep(const QList<AccountSlot> &accounts) override;
    bool shared() const override { return sharedWithOthers; }

    // Another computer replaces the table: the version moves on.
    void changeElsewhere(const QList<AccountSlot> &accounts);

    // Every write throws AppError (75, "disk full") while set.
    bool failWrites = false;
    // Loads and logons throw AppError, as a server that cannot be reached.
    bool unreachable = false;
    bool sharedWithOthers = false;
    QString refusedBecause;
    int writes = 0;

private:
    void write();
    qsizetype indexOf(qint64 key) const;
    void setAccounts(const QList<AccountSlot> &accounts);

    Table m_table;
    qint64 m_nextKey = 1;
    QMap<qint64, QString> m_sessions;
    quint64 m_sessionCount = 0;
};
