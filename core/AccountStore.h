#pragma once

#include "AccountSlot.h"

#include <QList>
#include <QString>
#include <optional>

// A store of the account table that other programs share (a room of computers): every
// operation works on the stored rows themselves, in one transaction, instead of rewriting the
// table from this program's copy. Rows are found by a stable key, never by their slot number.
// Every operation throws AppError when the store cannot be reached or fails; nothing is then
// changed, except that a session end is kept to be stored later.
class AccountStore
{
public:
    // The table as the store holds it: the accounts in slot order (read as a settings file is
    // read), the key of each (0: not stored yet, the first-run administrator) and the version of
    // the whole table, which every write changes.
    struct Table
    {
        QList<AccountSlot> accounts;
        QList<qint64> keys;
        qint64 version = 0;
    };

    struct LogOn
    {
        enum Outcome { LoggedOn, Invalid, Disabled, NoTimeLeft };
        Outcome outcome = Invalid;
        // The matching slot, from 1; 0 when none matches.
        int slot = 0;
        qint32 sessionMinutes = 0;
        qint64 key = 0;
        // The session's token: its end is stored only while the row still carries it, so a
        // remainder is never stored twice or over a later logon.
        QString session;
        // The table right after the logon.
        Table table;
    };

    virtual ~AccountStore() = default;

    // Empty when the store may be used; otherwise why it must not be.
    virtual QString refusal() const = 0;
    virtual Table load() = 0;
    // Reads the rows fresh with the table locked, finds the account as a logon does, applies the
    // day rule and, when the logon stands, stores the new day with 0 minutes left, all in one
    // transaction: of two computers logging on to one account at once, one gets the session.
    virtual LogOn logOn(const QString &user, const QString &password, const QString &today) = 0;
    // Stores the remainder in the row of key while it still carries the session's token; an
    // account deleted or renamed since is left alone. When the store cannot be reached the
    // remainder is kept and delivered later; the failure is still thrown.
    virtual void endSession(qint64 key, const QString &session, qint32 minutesLeft,
                            const QString &today) = 0;
    // Stores the password in the row of key only.
    virtual void changePassword(qint64 key, const QString &password) = 0;
    // The table becomes accounts, in one transaction, if its version is still version; returns
    // the table as stored, or nothing (and writes nothing) when it was changed since.
    virtual std::optional<Table> replaceIfUnchanged(const QList<AccountSlot> &accounts,
                                                    qint64 version) = 0;
};
