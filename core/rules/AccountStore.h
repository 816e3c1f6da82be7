#pragma once

#include "core/rules/AccountSlot.h"
#include "core/rules/AppError.h"
#include "core/rules/Logon.h"

#include <QList>
#include <QString>
#include <optional>

// Where the account table is kept: the settings file of this computer, or a room's server shared
// with other computers. Every operation works on the rows the store holds (a room's: read fresh
// in one transaction) rather than on a copy handed in, and rows are found by a stable key, never
// by their slot number. Every operation throws AppError when the store fails.
class AccountStore
{
public:
    // The table as the store holds it: the accounts in slot order, the key of each (0: not stored
    // yet, the first-run administrator) and the version of the whole table, which every write
    // changes.
    struct Table
    {
        QList<AccountSlot> accounts;
        QList<qint64> keys;
        qint64 version = 0;
    };

    virtual ~AccountStore() = default;

    // Empty when the store may be used; otherwise why it must not be.
    virtual QString refusal() const = 0;
    // The table at program start, read without waiting for anything: a store read over the
    // network answers an empty table, and every logon brings its rows.
    virtual Table open() = 0;
    // The table read again, for the administrator's Reload.
    virtual Table load() = 0;
    // The table as this store last read or wrote it, without asking anyone: what the table
    // shows after an operation failed.
    virtual Table table() const = 0;
    // Finds the account by LogonRule on the rows as stored and, when the logon stands, stores the
    // new day with 0 minutes left, in one step: of two computers logging on to one account at
    // once, one gets the session. The grant then carries the row's key and the session's token:
    // its end is stored only while the row still carries the token, so a remainder is never
    // stored twice or over a later logon. StoreRefused for a store that must not be used;
    // CannotSave when the 0 cannot be stored for an ordinary account (the administrator logs on,
    // with saveError). Throws when the rows cannot be read at all. table() is the table right
    // after the logon.
    virtual Logon logOn(const QString &user, const QString &password, const QString &today) = 0;
    // A session of the row of key opened without a logon (tools and tests play one): today's
    // date and 0 minutes left are stored as a logon stores them, and the session's token is
    // returned. Throws when no row has key or the row cannot be written.
    virtual QString openSession(qint64 key, const QString &today) = 0;
    // Stores the remainder in the row of key while it still carries the session's token. An
    // account deleted or renamed since is left alone. Throws when the remainder was not stored.
    virtual void endSession(qint64 key, const QString &session, qint32 minutesLeft,
                            const QString &today) = 0;
    // Stores the password in the row of key only.
    virtual void changePassword(qint64 key, const QString &password) = 0;
    // The table becomes accounts, in one step, if its version is still version; returns the
    // table as stored, or nothing (and writes nothing) when it was changed since.
    virtual std::optional<Table> replaceIfUnchanged(const QList<AccountSlot> &accounts,
                                                    qint64 version) = 0;
    // The table as this program now holds it, set by hand and not written yet (tools and tests):
    // a store that keeps this program's table (the settings file's) works on it from now on and
    // writes it at the next save; a shared store reads its rows fresh and leaves them alone.
    virtual void keep(const QList<AccountSlot> &accounts) = 0;
    // Whether other computers share the store: a write it does not take leaves the table as the
    // store has it, and the administrator's window keeps the grid as typed.
    virtual bool shared() const = 0;
};
