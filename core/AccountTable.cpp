#include "AccountTable.h"

#include "AccountStore.h"
#include "Conversions.h"
#include "DayRule.h"
#include "SettingsStore.h"
#include "StoredDate.h"

#include <cstdio>
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

QString AccountTable::key(const char *prefix, int slot)
{
    return QLatin1String(prefix) + QString::number(slot);
}

void AccountTable::reset()
{
    m_accounts = {};
    m_count = 0;
    m_loggedOn = 0;
    m_grantedMinutes = 0;
    m_sessionRunning = false;
    m_storeRefused.clear();
    m_version = 0;
    m_sessionKey = 0;
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

void AccountTable::setAccounts(const QList<AccountSlot> &accounts)
{
    m_accounts = {};
    m_count = int(qMin<qsizetype>(accounts.size(), MaxAccounts));
    for (int n = 1; n <= m_count; ++n)
        m_accounts[n] = accounts.at(n - 1);
}

QList<AccountSlot> AccountTable::readSection(const SettingsStore &store)
{
    if (store.value(Section, key("user", 1)).isEmpty())
        return {AccountSlot{AdminId, FirstRunPassword, -1, FirstRunDate, -1}};
    QList<AccountSlot> accounts;
    for (int n = 1; n <= MaxAccounts; ++n) {
        if (n > 1 && store.value(Section, key("user", n)).isEmpty())
            break;
        AccountSlot slot;
        slot.userId = store.value(Section, key("user", n));
        slot.password = store.value(Section, key("pswd", n));
        slot.minsPerDay = minutesFromText(store.value(Section, key("mins", n)));
        slot.lastDate = store.value(Section, key("date", n));
        slot.minsLeft = minutesFromText(store.value(Section, key("left", n)));
        accounts.append(slot);
    }
    return accounts;
}

void AccountTable::takeRoomTable(const QList<AccountSlot> &accounts, qint64 version)
{
    setAccounts(accounts);
    m_version = version;
}

void AccountTable::LoadAccounts()
{
    m_count = 0;
    if (m_room) {
        // Nothing is read from the server here, on the way to the logon window: every logon
        // reads the rows fresh and brings the table with it.
        m_storeRefused = m_room->refusal();
        return;
    }
    Q_ASSERT(m_store);
    m_storeRefused = m_store->refusal();
    if (!m_storeRefused.isEmpty())
        return;
    const QList<AccountSlot> accounts = readSection(*m_store);
    m_count = int(accounts.size());
    for (int n = 1; n <= m_count; ++n)
        m_accounts[n] = accounts.at(n - 1);
}

void AccountTable::reload()
{
    if (!m_room)
        return;
    // On failure the table read before is kept: an empty grid saved later would wipe the room.
    if (const QString refusal = m_room->refusal(); !refusal.isEmpty())
        throw AppError(AppError::PathFileAccessError, refusal);
    const AccountStore::Table table = m_room->load();
    takeRoomTable(table.accounts, table.version);
}

void AccountTable::SaveAccounts()
{
    Q_ASSERT(m_store);
    // The table of a refused store is empty: saving it would wipe the accounts.
    if (!m_storeRefused.isEmpty())
        throw AppError(AppError::PathFileAccessError, m_storeRefused);
    if (m_room) {
        const std::optional<AccountStore::Table> stored =
            m_room->replaceIfUnchanged(accounts(), m_version);
        if (!stored)
            throw AppError(AppError::PathFileAccessError, ChangedElsewhereText);
        takeRoomTable(stored->accounts, stored->version);
        return;
    }
    Q_ASSERT(m_store);
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

AccountTable::LogOn AccountTable::logOn(const QString &typedUser, const QString &typedPassword,
                                        const QString &today)
{
    // User ids and passwords are kept upper-cased: they are typed in any case.
    const QString user = typedUser.toUpper();
    const QString password = typedPassword.toUpper();
    if (m_room)
        return roomLogOn(user, password, today);
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

    const DayRule::Result rule = DayRule::apply(slot, result.administrator, today);
    if (rule.verdict == DayRule::Verdict::Disabled) {
        result.outcome = LogOn::Disabled;
        result.refusal = DisabledText;
        return result;
    }
    if (rule.verdict == DayRule::Verdict::NoTimeLeft) {
        result.outcome = LogOn::NoTimeLeft;
        result.refusal = NoTimeLeftText;
        return result;
    }
    const AccountSlot before = slot;
    slot = rule.stored;
    try {
        SaveAccounts();
    } catch (const AppError &error) {
        if (!result.administrator) {
            // Without the 0 on disk, a killed session or a failed session end would give the
            // same minutes again: no session starts.
            slot = before;
            m_loggedOn = 0;
            std::fprintf(stderr, "TimoraDesk: the logon of %s is refused: %s\n",
                         qPrintable(slot.userId), qPrintable(error.description()));
            std::fflush(stderr);
            result.outcome = LogOn::CannotSave;
            result.refusal = CannotSaveText;
            return result;
        }
        result.saveError = error;
    }
    m_grantedMinutes = rule.sessionMinutes;
    result.outcome = LogOn::LoggedOn;
    return result;
}

AccountTable::LogOn AccountTable::roomLogOn(const QString &user, const QString &password,
                                            const QString &today)
{
    LogOn result;
    m_storeRefused = m_room->refusal();
    if (!m_storeRefused.isEmpty()) {
        result.outcome = LogOn::StoreRefused;
        result.refusal = StoreRefusedText;
        return result;
    }
    AccountStore::LogOn stored;
    try {
        stored = m_room->logOn(user, password, today);
    } catch (const AppError &) {
        // The store has said why on standard error; nothing has changed.
        result.outcome = LogOn::StoreRefused;
        result.refusal = ServerAwayText;
        return result;
    }
    takeRoomTable(stored.table.accounts, stored.table.version);
    if (stored.outcome == AccountStore::LogOn::Invalid || stored.slot < 1 ||
        stored.slot > m_count) {
        result.outcome = LogOn::Invalid;
        result.refusal = InvalidText;
        return result;
    }
    m_loggedOn = stored.slot;
    result.administrator = m_accounts[stored.slot].userId == AdminId;
    switch (stored.outcome) {
    case AccountStore::LogOn::Disabled:
        result.outcome = LogOn::Disabled;
        result.refusal = DisabledText;
        return result;
    case AccountStore::LogOn::NoTimeLeft:
        result.outcome = LogOn::NoTimeLeft;
        result.refusal = NoTimeLeftText;
        return result;
    case AccountStore::LogOn::Invalid:
    case AccountStore::LogOn::LoggedOn:
        break;
    }
    m_grantedMinutes = stored.sessionMinutes;
    m_sessionKey = stored.key;
    m_sessionToken = stored.session;
    result.outcome = LogOn::LoggedOn;
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
    const AccountSlot atLogon = ended;
    ended.minsLeft = minutesLeft;
    ended.lastDate = today;
    if (m_room) {
        m_room->endSession(m_sessionKey, m_sessionToken, minutesLeft, today);
        return;
    }
    try {
        SaveAccounts();
    } catch (const AppError &error) {
        // The store still holds what the logon stored; so does the table, so that no later
        // save hands the remainder back.
        ended = atLogon;
        throw AppError(error.number(),
                       error.description() + QStringLiteral("; the rest of today is forfeited"));
    }
}

void AccountTable::changePassword(const QString &newPassword)
{
    slot(m_loggedOn).password = newPassword.toUpper();
    if (m_room) {
        m_room->changePassword(m_sessionKey, newPassword.toUpper());
        return;
    }
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

bool AccountTable::replaceWithGrid(const QList<GridRow> &rows)
{
    if (m_room) {
        // Nothing changes here until the room has taken the grid.
        QList<AccountSlot> next;
        for (const GridRow &row : rows) {
            if (row.deleted || row.isEmpty())
                continue;
            if (next.size() == MaxAccounts)
                break;
            next.append(AccountSlot{row.user.toUpper(), row.password.toUpper(),
                                    integerFrom(row.mins), StoredDate::normalized(row.date),
                                    integerFrom(row.left)});
        }
        if (!m_storeRefused.isEmpty())
            throw AppError(AppError::PathFileAccessError, m_storeRefused);
        const std::optional<AccountStore::Table> stored =
            m_room->replaceIfUnchanged(next, m_version);
        if (!stored)
            return false;
        takeRoomTable(stored->accounts, stored->version);
        return true;
    }
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
        // Stored in the form of today's date, whatever form was typed, so that the day rule
        // finds the day.
        slot.lastDate = StoredDate::normalized(row.date);
        ++m_count;
    }
    SaveAccounts();
    return true;
}
