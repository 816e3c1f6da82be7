#include "Module1.h"

#include "AppError.h"
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

} // namespace

Module1 &module1()
{
    static Module1 table;
    return table;
}

QString Module1::key(const char *prefix, int slot)
{
    return QLatin1String(prefix) + QString::number(slot);
}

void Module1::reset()
{
    accounts = {};
    accountCount = 0;
    loggedOnIndex = 0;
    sessionMinutes = 0;
    sessionRunning = false;
    m_storeRefused.clear();
}

void Module1::LoadAccounts()
{
    Q_ASSERT(m_store);
    accountCount = 0;
    m_storeRefused = m_store->refusal();
    if (!m_storeRefused.isEmpty())
        return;
    const QString first = m_store->value(Section, key("user", 1));
    accountCount = 1;
    if (first.isEmpty()) {
        accounts[1] = AccountSlot{AdminId, FirstRunPassword, -1, FirstRunDate, -1};
        return;
    }
    for (int n = 1;; ++n) {
        AccountSlot &slot = accounts[n];
        slot.userId = m_store->value(Section, key("user", n));
        slot.password = m_store->value(Section, key("pswd", n));
        slot.minsPerDay = minutesFromText(m_store->value(Section, key("mins", n)));
        slot.lastDate = m_store->value(Section, key("date", n));
        slot.minsLeft = minutesFromText(m_store->value(Section, key("left", n)));
        if (n == MaxAccounts)
            return;
        if (m_store->value(Section, key("user", n + 1)).isEmpty())
            return;
        accountCount = static_cast<qint16>(n + 1);
    }
}

void Module1::SaveAccounts()
{
    Q_ASSERT(m_store);
    // The table of a refused store is empty: saving it would wipe the accounts.
    if (!m_storeRefused.isEmpty())
        throw AppError(75, QStringLiteral("Path/File access error: ") + m_storeRefused);
    SettingsStore::KeyValues values;
    const int count = qBound(0, int(accountCount), MaxAccounts);
    for (int n = 1; n <= count; ++n) {
        const AccountSlot &slot = accounts[n];
        values.append({key("user", n), slot.userId});
        values.append({key("pswd", n), slot.password});
        values.append({key("mins", n), QString::number(slot.minsPerDay)});
        values.append({key("date", n), slot.lastDate});
        const bool inSession = sessionRunning && n == loggedOnIndex;
        values.append({key("left", n), QString::number(inSession ? 0 : slot.minsLeft)});
    }
    m_store->replaceSection(Section, values);
}

AccountSlot &Module1::loggedOnSlot()
{
    if (loggedOnIndex < 1 || loggedOnIndex > MaxAccounts)
        throw AppError(9, QStringLiteral("Subscript out of range"));
    return accounts[loggedOnIndex];
}
