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
    m_loggedOn = 0;
    m_grantedMinutes = 0;
    m_sessionRunning = false;
    m_storeRefused.clear();
    m_keys = {};
    m_version = 0;
    m_sessionToken.clear();
}

void AccountTable::setSession(int slot, qint32 minutes)
{
    m_loggedOn = slot;
    m_grantedMinutes = minutes;
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
    QList<AccountSlot> rows = accounts();
    if (m_sessionRunning && m_loggedOn >= 1 && m_loggedOn <= m_count)
        rows[m_loggedOn - 1].minsLeft = 0;
    // A store that fails keeps what it held, and so does the table.
    const std::optional<AccountStore::Table> stored = m_store->replaceIfUnchanged(rows, m_version);
    if (!stored)
        throw AppError(AppError::PathFileAccessError, ChangedElsewhereText);
    const bool inSession = m_sessionRunning && m_loggedOn >= 1 && m_loggedOn <= m_count;
    const qint32 left = inSession ? m_accounts[m_loggedOn].minsLeft : 0;
    take(*stored);
    // The session's own count stays in the table until its end stores it.
    if (inSession && m_loggedOn <= m_count)
        m_accounts[m_loggedOn].minsLeft = left;
}

AccountTable::LogOn AccountTable::logOn(const QString &typedUser, const QString &typedPassword,
                                        const QString &today)
{
    Q_ASSERT(m_store);
    // User ids and passwords are kept upper-cased: they are typed in any case.
    const QString user = typedUser.toUpper();
    const QString password = typedPassword.toUpper();
    LogOn result;
    AccountStore::LogOn stored;
    try {
        stored = m_store->logOn(user, password, today);
    } catch (const AppError &) {
        // The store has said why on standard error; nothing has changed.
        result.outcome = LogOn::StoreRefused;
        result.refusal = ServerAwayText;
        return result;
    }
    static_cast<LogonRule::Result &>(result) = stored;
    if (stored.outcome == LogOn::StoreRefused) {
        m_storeRefused = m_store->refusal();
        m_count = 0;
        result.refusal = StoreRefusedText;
        return result;
    }
    m_storeRefused.clear();
    take(stored.table);
    if (stored.outcome == LogOn::Invalid || stored.slot < 1 || stored.slot > m_count) {
        result.outcome = LogOn::Invalid;
        result.administrator = false;
        result.refusal = InvalidText;
        return result;
    }
    // A disabled account or one without time left is the slot logged on, with nothing granted.
    m_loggedOn = stored.outcome == LogOn::CannotSave ? 0 : stored.slot;
    if (stored.outcome == LogOn::Disabled)
        result.refusal = DisabledText;
    else if (stored.outcome == LogOn::NoTimeLeft)
        result.refusal = NoTimeLeftText;
    else if (stored.outcome == LogOn::CannotSave)
        result.refusal = CannotSaveText;
    if (stored.outcome != LogOn::LoggedOn)
        return result;
    m_grantedMinutes = stored.sessionMinutes;
    m_sessionToken = stored.session;
    return result;
}

const AccountSlot &AccountTable::loggedOnSlot() const
{
    return account(m_loggedOn);
}

qint32 AccountTable::loggedOnAllowance() const
{
    return m_loggedOn >= 1 && m_loggedOn <= MaxAccounts ? m_accounts[m_loggedOn].minsPerDay : 0;
}

void AccountTable::endSession(qint32 minutesLeft, const QString &today)
{
    m_sessionRunning = false;
    AccountSlot &ended = slot(m_loggedOn);
    if (m_sessionToken.isEmpty()) {
        // A session that no logon through the store started (tools and tests play one on a
        // table set by hand): the table is stored as it stands, with the remainder. When that
        // fails the table keeps what it held, so that no later save hands the remainder back.
        const AccountSlot before = ended;
        ended.minsLeft = minutesLeft;
        ended.lastDate = today;
        try {
            SaveAccounts();
        } catch (const AppError &error) {
            ended = before;
            throw AppError(error.number(), error.description() + RestForfeitedText);
        }
        return;
    }
    try {
        m_store->endSession(keyOf(m_loggedOn), m_sessionToken, minutesLeft, today);
    } catch (const AppError &) {
        // The slot shows what the store kept of it.
        const AccountStore::Table kept = m_store->table();
        const qsizetype index = kept.keys.indexOf(keyOf(m_loggedOn));
        if (index >= 0)
            ended = kept.accounts.at(index);
        throw;
    }
    ended.minsLeft = minutesLeft;
    ended.lastDate = today;
}

void AccountTable::changePassword(const QString &newPassword)
{
    slot(m_loggedOn).password = newPassword.toUpper();
    // A session that no logon started stores the table as it stands, as its end does.
    if (m_sessionToken.isEmpty())
        SaveAccounts();
    else
        m_store->changePassword(keyOf(m_loggedOn), newPassword.toUpper());
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
