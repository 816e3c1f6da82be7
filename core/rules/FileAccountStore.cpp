#include "core/rules/FileAccountStore.h"

#include "core/rules/AccountConstants.h"
#include "core/rules/AccountFields.h"

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

AccountStore::LogOn FileAccountStore::logOn(const QString &user, const QString &password,
                                            const QString &today)
{
    LogOn result;
    // A settings file that others could have changed is not used; it is looked at again at
    // every logon, so that the logon works again as soon as the file is mended.
    if (!m_read && !read()) {
        result.outcome = LogOn::StoreRefused;
        return result;
    }
    static_cast<LogonRule::Result &>(result) = LogonRule::apply(m_accounts, user, password, today);
    if (result.outcome == LogOn::LoggedOn) {
        AccountSlot &slot = m_accounts[result.slot - 1];
        const AccountSlot before = slot;
        slot = result.stored;
        try {
            write();
            result.key = result.slot;
            result.session = QString::number(++m_sessionCount);
            m_sessions.insert(result.key, result.session);
        } catch (const AppError &error) {
            if (!LogonRule::unsaved(result, error))
                slot = before;
        }
    }
    result.table = table();
    return result;
}

void FileAccountStore::endSession(qint64 key, const QString &session, qint32 minutesLeft,
                                  const QString &today)
{
    AccountSlot &ended = m_accounts[indexOf(key)];
    if (!session.isEmpty() && m_sessions.value(key) != session)
        return;
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
