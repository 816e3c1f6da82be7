#include "core/rules/FileAccountStore.h"

#include "core/rules/AccountConstants.h"
#include "core/rules/AccountFields.h"
#include "core/rules/LogonRule.h"

QList<AccountSlot> FileAccountStore::readSection(const SettingsStore &settings)
{
    const QString &section = AccountConstants::Section;
    const auto value = [&](const char *prefix, int n) {
        return settings.value(section, AccountConstants::key(prefix, n));
    };
    if (value("user", 1).isEmpty())
        return {AccountConstants::firstRunAdministrator()};
    QList<AccountSlot> accounts;
    for (int n = 1; n <= AccountConstants::MaxAccounts; ++n) {
        const QString user = value("user", n);
        if (n > 1 && user.isEmpty())
            break;
        accounts.append(AccountFields::read(user, value("pswd", n), value("mins", n),
                                            value("date", n), value("left", n)));
    }
    return accounts;
}

SettingsStore::KeyValues FileAccountStore::section(const QList<AccountSlot> &accounts)
{
    SettingsStore::KeyValues values;
    for (int n = 1; n <= accounts.size(); ++n) {
        const AccountSlot &slot = accounts.at(n - 1);
        values.append({AccountConstants::key("user", n), slot.userId});
        values.append({AccountConstants::key("pswd", n), slot.password});
        values.append({AccountConstants::key("mins", n), QString::number(slot.minsPerDay)});
        values.append({AccountConstants::key("date", n), slot.lastDate});
        values.append({AccountConstants::key("left", n), QString::number(slot.minsLeft)});
    }
    return values;
}

bool FileAccountStore::read()
{
    m_accounts.clear();
    m_read = m_settings.refusal().isEmpty();
    if (m_read)
        m_accounts = readSection(m_settings);
    return m_read;
}

void FileAccountStore::write()
{
    // A refused settings store is never written; it says so itself.
    m_settings.replaceSection(AccountConstants::Section, section(m_accounts));
    ++m_version;
}

qsizetype FileAccountStore::indexOf(qint64 key) const
{
    if (key < 1 || key > m_accounts.size())
        throw AppError(AppError::SubscriptOutOfRange);
    return qsizetype(key - 1);
}

AccountStore::Table FileAccountStore::open()
{
    read();
    return table();
}

AccountStore::Table FileAccountStore::table() const
{
    Table table;
    table.accounts = m_accounts;
    for (int n = 1; n <= m_accounts.size(); ++n)
        table.keys.append(n);
    table.version = m_version;
    return table;
}

QString FileAccountStore::open(qint64 key, const AccountSlot &opened)
{
    AccountSlot &slot = m_accounts[indexOf(key)];
    const AccountSlot before = slot;
    slot = opened;
    try {
        write();
    } catch (const AppError &) {
        slot = before;
        throw;
    }
    const QString token = QString::number(++m_sessionCount);
    m_sessions.insert(key, token);
    return token;
}

Logon FileAccountStore::logOn(const QString &user, const QString &password, const QString &today)
{
    // A settings file that others could have changed is not used; it is looked at again at
    // every logon, so that the logon works again as soon as the file is mended.
    if (!m_read && !read()) {
        Logon refused;
        refused.outcome = Logon::StoreRefused;
        return refused;
    }
    Logon result = LogonRule::apply(m_accounts, user, password, today);
    if (result.outcome == Logon::LoggedOn) {
        try {
            result.grant.token = open(result.slot, result.stored);
            result.grant.key = result.slot;
        } catch (const AppError &error) {
            // The administrator's logon stands on the row as it is to be stored.
            if (LogonRule::unsaved(result, error))
                m_accounts[result.slot - 1] = result.stored;
        }
    }
    return result;
}

QString FileAccountStore::openSession(qint64 key, const QString &today)
{
    AccountSlot opened = m_accounts.value(indexOf(key));
    opened.lastDate = today;
    opened.minsLeft = 0;
    return open(key, opened);
}

void FileAccountStore::endSession(qint64 key, const QString &session, qint32 minutesLeft,
                                  const QString &today)
{
    // Only the session that is open on the row stores its end, once.
    if (session.isEmpty() || m_sessions.value(key) != session)
        return;
    AccountSlot &ended = m_accounts[indexOf(key)];
    const AccountSlot atLogon = ended;
    ended.minsLeft = minutesLeft;
    ended.lastDate = today;
    try {
        write();
    } catch (const AppError &error) {
        // The file still holds what the logon stored; so does the table, so that no later
        // save hands the remainder back.
        ended = atLogon;
        throw AppError(error.number(), error.description() + AccountConstants::RestForfeitedText);
    }
    m_sessions.remove(key);
}

void FileAccountStore::changePassword(qint64 key, const QString &password)
{
    m_accounts[indexOf(key)].password = password;
    write();
}

void FileAccountStore::keep(const QList<AccountSlot> &accounts)
{
    m_accounts = accounts.mid(0, AccountConstants::MaxAccounts);
}

std::optional<AccountStore::Table>
FileAccountStore::replaceIfUnchanged(const QList<AccountSlot> &accounts, qint64 version)
{
    if (version != m_version)
        return std::nullopt;
    m_accounts = accounts.mid(0, AccountConstants::MaxAccounts);
    write();
    m_read = true;
    return table();
}
