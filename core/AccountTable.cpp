#include "AccountTable.h"

#include "Conversions.h"
#include "SettingsStore.h"

#include <limits>

namespace {

// Minutes are stored as plain decimal text; anything else (empty, garbage, out of range)
// reads as 0 so that a damaged file can never grant unlimited time (-1).
qint32 minutesFromText(const QString &text)
{
    // Only a sign and ASCII digits: Qt's own reading stops at an embedded NUL, so "-1" followed
    // by a NUL and garbage (a file damaged by a crash) would otherwise read as -1.
    const QString number = text.trimmed();
    for (qsizetype i = 0; i < number.size(); ++i) {
        const QChar c = number.at(i);
        const bool sign = i == 0 && (c == QLatin1Char('-') || c == QLatin1Char('+'));
        if (!sign && (c < QLatin1Char('0') || c > QLatin1Char('9')))
            return 0;
    }
    bool ok = false;
    const qlonglong value = number.toLongLong(&ok, 10);
    if (!ok || value < std::numeric_limits<qint32>::min() ||
        value > std::numeric_limits<qint32>::max())
        return 0;
    return static_cast<qint32>(value);
}

qint32 integerFrom(const QString &text)
{
    const std::optional<qint32> value = Conversions::toInteger(text);
    if (!value)
        throw AppError(AppError::TypeMismatch);
    return *value;
}

} // namespace

AccountTable &module1()
{
    static AccountTable table;
    return table;
}

QString AccountTable::key(const char *prefix, int slot)
{
    return QLatin1String(prefix) + QString::number(slot);
}

void AccountTable::reset()
{
    m_accounts = {};
    m_count = 0;
    m_loggedOn = 0;
    m_sessionMinutes = 0;
    m_sessionRunning = false;
    m_storeRefused.clear();
}

void AccountTable::setSession(int slot, qint32 minutes)
{
    m_loggedOn = slot;
    m_sessionMinutes = minutes;
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

void AccountTable::setAccounts(const QList<AccountSlot> &accounts)
{
    m_accounts = {};
    m_count = int(qMin<qsizetype>(accounts.size(), MaxAccounts));
    for (int n = 1; n <= m_count; ++n)
        m_accounts[n] = accounts.at(n - 1);
}

void AccountTable::LoadAccounts()
{
    Q_ASSERT(m_store);
    m_count = 0;
    m_storeRefused = m_store->refusal();
    if (!m_storeRefused.isEmpty())
        return;
    const QString first = m_store->value(Section, key("user", 1));
    m_count = 1;
    if (first.isEmpty()) {
        m_accounts[1] = AccountSlot{AdminId, FirstRunPassword, -1, FirstRunDate, -1};
        return;
    }
    for (int n = 1;; ++n) {
        AccountSlot &slot = m_accounts[n];
        slot.userId = m_store->value(Section, key("user", n));
        slot.password = m_store->value(Section, key("pswd", n));
        slot.minsPerDay = minutesFromText(m_store->value(Section, key("mins", n)));
        slot.lastDate = m_store->value(Section, key("date", n));
        slot.minsLeft = minutesFromText(m_store->value(Section, key("left", n)));
        if (n == MaxAccounts)
            return;
        if (m_store->value(Section, key("user", n + 1)).isEmpty())
            return;
        m_count = n + 1;
    }
}

void AccountTable::SaveAccounts()
{
    Q_ASSERT(m_store);
    // The table of a refused store is empty: saving it would wipe the accounts.
    if (!m_storeRefused.isEmpty())
        throw AppError(AppError::PathFileAccessError, m_storeRefused);
    SettingsStore::KeyValues values;
    for (int n = 1; n <= m_count; ++n) {
        const AccountSlot &slot = m_accounts[n];
        values.append({key("user", n), slot.userId});
        values.append({key("pswd", n), slot.password});
        values.append({key("mins", n), QString::number(slot.minsPerDay)});
        values.append({key("date", n), slot.lastDate});
        const bool inSession = m_sessionRunning && n == m_loggedOn;
        values.append({key("left", n), QString::number(inSession ? 0 : slot.minsLeft)});
    }
    m_store->replaceSection(Section, values);
}

AccountTable::LogOn AccountTable::logOn(const QString &user, const QString &password,
                                        const QString &today)
{
    LogOn result;
    // A settings file that others could have changed is not used; it is looked at again at
    // every logon, so that the logon works again as soon as the file is mended.
    if (!m_storeRefused.isEmpty()) {
        LoadAccounts();
        if (!m_storeRefused.isEmpty()) {
            result.outcome = LogOn::StoreRefused;
            result.refusal = StoreRefusedText;
            return result;
        }
    }
    int match = 0;
    for (int i = 1; i <= m_count; ++i) {
        if (user == m_accounts[i].userId && password == m_accounts[i].password) {
            match = i;
            break;
        }
    }
    if (match == 0) {
        result.outcome = LogOn::Invalid;
        result.refusal = InvalidText;
        return result;
    }

    m_loggedOn = match;
    AccountSlot &slot = m_accounts[match];
    result.administrator = slot.userId == AdminId;

    // An allowance of 0 minutes a day disables the account; the administrator is never
    // locked out this way, since its time is not counted.
    if (slot.minsPerDay == 0 && !result.administrator) {
        result.outcome = LogOn::Disabled;
        result.refusal = DisabledText;
        return result;
    }
    if (today == slot.lastDate) {
        if (slot.minsLeft == 0) {
            result.outcome = LogOn::NoTimeLeft;
            result.refusal = NoTimeLeftText;
            return result;
        }
        m_sessionMinutes = slot.minsLeft;
    } else {
        m_sessionMinutes = slot.minsPerDay;
        slot.lastDate = today;
    }
    slot.minsLeft = result.administrator ? -1 : 0;

    result.outcome = LogOn::LoggedOn;
    try {
        SaveAccounts();
    } catch (const AppError &error) {
        result.saveError = error;
    }
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

qint32 AccountTable::countDownMinute()
{
    if (m_sessionMinutes > std::numeric_limits<qint32>::min())
        --m_sessionMinutes;
    return m_sessionMinutes;
}

void AccountTable::endSession(qint32 minutesLeft, const QString &today)
{
    m_sessionRunning = false;
    AccountSlot &ended = slot(m_loggedOn);
    ended.minsLeft = minutesLeft;
    ended.lastDate = today;
    SaveAccounts();
}

void AccountTable::changePassword(const QString &newPassword)
{
    slot(m_loggedOn).password = newPassword.toUpper();
    SaveAccounts();
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

void AccountTable::replaceWithGrid(const QList<GridRow> &rows)
{
    for (int n = 1; n <= m_count; ++n)
        m_accounts[n] = AccountSlot{};
    m_count = 0;
    for (const GridRow &row : rows) {
        if (row.deleted || row.isEmpty())
            continue;
        if (m_count == MaxAccounts)
            break;
        AccountSlot &slot = m_accounts[m_count + 1];
        slot.userId = row.user.toUpper();
        slot.password = row.password.toUpper();
        slot.minsPerDay = integerFrom(row.mins);
        slot.minsLeft = integerFrom(row.left);
        slot.lastDate = row.date;
        ++m_count;
    }
    SaveAccounts();
}
