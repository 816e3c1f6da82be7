#include "MemoryAccountStore.h"

#include "core/rules/AccountConstants.h"
#include "core/rules/LogonRule.h"

MemoryAccountStore::MemoryAccountStore()
{
    m_table.accounts = {AccountConstants::firstRunAdministrator()};
    m_table.keys = {0};
}

MemoryAccountStore::MemoryAccountStore(const QList<AccountSlot> &accounts)
{
    setAccounts(accounts);
}

void MemoryAccountStore::setAccounts(const QList<AccountSlot> &accounts)
{
    // A row that keeps its user id keeps its key, as a room's does.
    const Table before = m_table;
    m_table.accounts = accounts.mid(0, AccountConstants::MaxAccounts);
    m_table.keys.clear();
    for (const AccountSlot &slot : m_table.accounts) {
        qsizetype was = -1;
        for (qsizetype i = 0; i < before.accounts.size(); ++i) {
            if (before.accounts.at(i).userId == slot.userId && before.keys.at(i) != 0 &&
                !m_table.keys.contains(before.keys.at(i))) {
                was = i;
                break;
            }
        }
        m_table.keys.append(was >= 0 ? before.keys.at(was) : m_nextKey++);
    }
}

void MemoryAccountStore::write()
{
    if (failWrites)
        throw AppError(AppError::PathFileAccessError, QStringLiteral("disk full"));
    ++writes;
    ++m_table.version;
}

qsizetype MemoryAccountStore::indexOf(qint64 key) const
{
    return key == 0 ? -1 : m_table.keys.indexOf(key);
}

AccountStore::Table MemoryAccountStore::open()
{
    return refusedBecause.isEmpty() ? m_table : Table();
}

AccountStore::Table MemoryAccountStore::load()
{
    if (unreachable)
        throw AppError(AppError::PathFileAccessError, QStringLiteral("no answer"));
    return m_table;
}

Logon MemoryAccountStore::logOn(const QString &user, const QString &password, const QString &today)
{
    Logon result;
    if (!refusedBecause.isEmpty()) {
        result.outcome = Logon::StoreRefused;
        return result;
    }
    if (unreachable)
        throw AppError(AppError::PathFileAccessError, QStringLiteral("no answer"));
    result = LogonRule::apply(m_table.accounts, user, password, today);
    if (result.outcome == Logon::LoggedOn) {
        try {
            write();
            const qsizetype index = result.slot - 1;
            m_table.accounts[index] = result.stored;
            if (m_table.keys.at(index) == 0)
                m_table.keys[index] = m_nextKey++;
            result.grant.key = m_table.keys.at(index);
            result.grant.token = QString::number(++m_sessionCount);
            m_sessions.insert(result.grant.key, result.grant.token);
        } catch (const AppError &error) {
            LogonRule::unsaved(result, error);
        }
    }
    return result;
}

QString MemoryAccountStore::openSession(qint64 key, const QString &today)
{
    const qsizetype index = indexOf(key);
    if (index < 0)
        throw AppError(AppError::SubscriptOutOfRange);
    write();
    m_table.accounts[index].lastDate = today;
    m_table.accounts[index].minsLeft = 0;
    const QString token = QString::number(++m_sessionCount);
    m_sessions.insert(key, token);
    return token;
}

void MemoryAccountStore::endSession(qint64 key, const QString &session, qint32 minutesLeft,
                                    const QString &today)
{
    const qsizetype index = indexOf(key);
    if (index < 0 || session.isEmpty() || m_sessions.value(key) != session)
        return;
    write();
    m_table.accounts[index].minsLeft = minutesLeft;
    m_table.accounts[index].lastDate = today;
    m_sessions.remove(key);
}

void MemoryAccountStore::changePassword(qint64 key, const QString &password)
{
    const qsizetype index = indexOf(key);
    if (index < 0)
        return;
    write();
    m_table.accounts[index].password = password;
}

std::optional<AccountStore::Table>
MemoryAccountStore::replaceIfUnchanged(const QList<AccountSlot> &accounts, qint64 version)
{
    if (version != m_table.version)
        return std::nullopt;
    write();
    setAccounts(accounts);
    return m_table;
}

void MemoryAccountStore::keep(const QList<AccountSlot> &accounts)
{
    if (!sharedWithOthers)
        setAccounts(accounts);
}

void MemoryAccountStore::changeElsewhere(const QList<AccountSlot> &accounts)
{
    setAccounts(accounts);
    ++m_table.version;
}
