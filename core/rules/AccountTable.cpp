#include "core/rules/AccountTable.h"

#include "core/rules/AccountStore.h"
#include "core/rules/Conversions.h"
#include "core/rules/StoredDate.h"

#include <limits>

namespace {

qint32 integerFrom(const QString &text)
{
    const std::optional<qint32> value = Conversions::toInteger(text);
    if (!value)
        throw AppError(AppError::TypeMismatch);
    return *value;
}

} // namespace

void AccountTable::reset()
{
    m_accounts = {};
    m_count = 0;
    m_storeRefused.clear();
    m_keys = {};
    m_version = 0;
}

AccountSlot &AccountTable::slot(int n)
{
    if (n < 1 || n > MaxAccounts)
        throw AppError(AppError::SubscriptOutOfRange);
    return m_accounts[n];
}

const AccountSlot &AccountTable::account(int n) const
{
    return const_cast<AccountTable *>(this)->slot(n);
}

QList<AccountSlot> AccountTable::accounts() const
{
    return QList<AccountSlot>(m_accounts.begin() + 1, m_accounts.begin() + 1 + m_count);
}

void AccountTable::assign(const QList<AccountSlot> &accounts)
{
    m_accounts = {};
    m_keys = {};
    m_count = int(qMin<qsizetype>(accounts.size(), MaxAccounts));
    for (int n = 1; n <= m_count; ++n)
        m_accounts[n] = accounts.at(n - 1);
}

void AccountTable::setAccounts(const QList<AccountSlot> &accounts)
{
    assign(accounts);
    if (!m_store)
        return;
    // Set by hand, the table is saved over whatever the store holds now; a store that keeps
    // this program's table works on it from now on.
    m_store->keep(this->accounts());
    const AccountStore::Table held = m_store->table();
    m_version = held.version;
    if (held.accounts == this->accounts()) {
        for (int n = 1; n <= m_count && n <= held.keys.size(); ++n)
            m_keys[n] = held.keys.at(n - 1);
    }
}

void AccountTable::take(const AccountStore::Table &table)
{
    assign(table.accounts);
    for (int n = 1; n <= m_count && n <= table.keys.size(); ++n)
        m_keys[n] = table.keys.at(n - 1);
    m_version = table.version;
}

qint64 AccountTable::keyOf(int n) const
{
    return n >= 1 && n <= MaxAccounts ? m_keys[n] : 0;
}

int AccountTable::slotOf(qint64 key) const
{
    for (int n = 1; n <= m_count; ++n) {
        if (m_keys[n] == key && key != 0)
            return n;
    }
    return 0;
}

void AccountTable::LoadAccounts()
{
    Q_ASSERT(m_store);
    const AccountStore::Table table = m_store->open();
    m_storeRefused = m_store->refusal();
    if (!m_storeRefused.isEmpty()) {
        m_count = 0;
        return;
    }
    take(table);
}

void AccountTable::reload()
{
    Q_ASSERT(m_store);
    // On failure the table read before is kept: an empty grid saved later would wipe the room.
    take(m_store->load());
}

void AccountTable::SaveAccounts()
{
    Q_ASSERT(m_store);
    // The table of a refused store is empty: saving it would wipe the accounts.
    if (!m_storeRefused.isEmpty())
        throw AppError(AppError::PathFileAccessError, m_storeRefused);
    // A store that fails keeps what it held, and so does the table.
    const std::optional<AccountStore::Table> stored =
        m_store->replaceIfUnchanged(accounts(), m_version);
    if (!stored)
        throw AppError(AppError::PathFileAccessError, ChangedElsewhereText);
    take(*stored);
}

Logon AccountTable::logOn(const QString &typedUser, const QString &typedPassword,
                          const QString &today)
{
    Q_ASSERT(m_store);
    // User ids and passwords are kept upper-cased: they are typed in any case.
    const QString user = typedUser.toUpper();
    const QString password = typedPassword.toUpper();
    Logon result;
    try {
        result = m_store->logOn(user, password, today);
    } catch (const AppError &) {
        // The store has said why on standard error; nothing has changed.
        result = Logon();
        result.outcome = Logon::StoreRefused;
        result.refusal = ServerAwayText;
        return result;
    }
    if (result.outcome == Logon::StoreRefused) {
        m_storeRefused = m_store->refusal();
        m_count = 0;
        result.refusal = StoreRefusedText;
        return result;
    }
    m_storeRefused.clear();
    take(m_store->table());
    // A slot the table does not hold is no account.
    if (result.slot < 1 || result.slot > m_count)
        result = Logon();
    switch (result.outcome) {
    case Logon::LoggedOn:
    case Logon::StoreRefused:
        break;
    case Logon::Invalid:
        result.refusal = InvalidText;
        break;
    case Logon::Disabled:
        result.refusal = DisabledText;
        break;
    case Logon::NoTimeLeft:
        result.refusal = NoTimeLeftText;
        break;
    case Logon::CannotSave:
        result.refusal = CannotSaveText;
        break;
    }
    return result;
}

SessionGrant AccountTable::openSession(int n, qint32 minutes, const QString &today)
{
    Q_ASSERT(m_store);
    if (n < 1 || n > m_count)
        throw AppError(AppError::SubscriptOutOfRange);
    AccountSlot &opened = slot(n);
    SessionGrant grant;
    grant.key = keyOf(n);
    const bool current = m_store->table().version == m_version;
    grant.token = m_store->openSession(grant.key, today);
    followOwnWrite(current);
    grant.userId = opened.userId;
    grant.minutes = minutes;
    grant.minsPerDay = opened.minsPerDay;
    grant.administrator = opened.userId == AdminId;
    opened.lastDate = today;
    opened.minsLeft = 0;
    return grant;
}

void AccountTable::endSession(const SessionGrant &session, qint32 minutesLeft, const QString &today)
{
    Q_ASSERT(m_store);
    const int n = slotOf(session.key);
    const bool current = m_store->table().version == m_version;
    try {
        m_store->endSession(session.key, session.token, minutesLeft, today);
    } catch (const AppError &) {
        // The slot shows what the store kept of it.
        const AccountStore::Table kept = m_store->table();
        const qsizetype index = kept.keys.indexOf(session.key);
        if (n != 0 && index >= 0)
            m_accounts[n] = kept.accounts.at(index);
        throw;
    }
    if (n != 0) {
        m_accounts[n].minsLeft = minutesLeft;
        m_accounts[n].lastDate = today;
    }
    followOwnWrite(current);
}

void AccountTable::changePassword(const SessionGrant &session, const QString &newPassword)
{
    Q_ASSERT(m_store);
    // The table shows the new password even when the store fails: a settings file keeps it too,
    // to be written by the next save.
    if (const int n = slotOf(session.key); n != 0)
        m_accounts[n].password = newPassword.toUpper();
    const bool current = m_store->table().version == m_version;
    m_store->changePassword(session.key, newPassword.toUpper());
    followOwnWrite(current);
}

void AccountTable::followOwnWrite(bool current)
{
    // A row this table wrote itself is no change made elsewhere: a table that was current stays
    // current, one that was not stays behind.
    if (current)
        m_version = m_store->table().version;
}

bool AccountTable::GridRow::isEmpty() const
{
    return user.isEmpty() && password.isEmpty() && mins.isEmpty() && left.isEmpty() &&
           date.isEmpty();
}

std::optional<AccountTable::GridFault> AccountTable::checkGrid(QList<GridRow> &rows)
{
    const QString numericError = QStringLiteral("Error  this is a numeric field");
    for (int row = 0; row < rows.size(); ++row) {
        GridRow &r = rows[row];
        if (r.deleted || r.isEmpty())
            continue;
        if (r.user.isEmpty())
            return GridFault{row, GridField::User, QStringLiteral("Enter User ID")};
        if (r.password.isEmpty())
            return GridFault{row, GridField::Password, QStringLiteral("Enter Password")};
        if (r.mins.isEmpty())
            return GridFault{row, GridField::Mins,
                             QStringLiteral("Enter number of minutes per day for access")};
        if (!Conversions::toInteger(r.mins))
            return GridFault{row, GridField::Mins, numericError};
        if (!r.date.isEmpty() && !Conversions::toDate(r.date))
            return GridFault{row, GridField::Date, QString()};
        if (r.left.isEmpty())
            r.left = r.mins;
        if (!Conversions::toInteger(r.left))
            return GridFault{row, GridField::Left, numericError};
    }
    return std::nullopt;
}

AccountTable::GridSave AccountTable::replaceWithGrid(const QList<GridRow> &rows)
{
    // Nothing changes here until the store has taken the grid.
    QList<AccountSlot> next;
    for (const GridRow &row : rows) {
        if (row.deleted || row.isEmpty())
            continue;
        if (next.size() == MaxAccounts)
            break;
        // A date is stored in the form of today's date, whatever form was typed, so that the
        // day rule finds the day.
        next.append(AccountSlot{row.user.toUpper(), row.password.toUpper(), integerFrom(row.mins),
                                StoredDate::normalized(row.date), integerFrom(row.left)});
    }
    if (!m_storeRefused.isEmpty())
        throw AppError(AppError::PathFileAccessError, m_storeRefused);
    std::optional<AccountStore::Table> stored;
    try {
        stored = m_store->replaceIfUnchanged(next, m_version);
    } catch (const AppError &) {
        take(m_store->table());
        // A shared store's failure leaves the grid as typed, to be saved again.
        if (m_store->shared())
            return GridSave::Failed;
        throw;
    }
    if (!stored)
        return GridSave::ChangedElsewhere;
    take(*stored);
    return GridSave::Saved;
}
