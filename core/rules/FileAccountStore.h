#pragma once

#include "core/rules/AccountStore.h"
#include "core/rules/SettingsStore.h"

#include <QMap>

// The account table of this computer alone, in the settings store's section SecData: keys
// user1, pswd1, mins1, date1, left1 … in slot order, one slot after the other. Only this
// program changes it, so the table is read once (at open(), and again at a logon while the
// store was refused) and held here; every change rewrites the whole section in one step. The
// key of an account is its slot number, and the version a count of this store's writes.
//
// A write that fails leaves the section as it was. The table held here then follows the rule of
// each operation: a logon's 0 is taken back (no session starts; the administrator logs on all
// the same), a session end keeps what the logon stored (the rest of that day is forfeited), and
// the administrator's table and a new password stay, to be written by the next save.
class FileAccountStore : public AccountStore
{
public:
    explicit FileAccountStore(SettingsStore &settings) : m_settings(settings) {}

    SettingsStore &settings() const { return m_settings; }

    // The accounts of a settings section: slot 1 on, up to the first empty user id or
    // AccountConstants::MaxAccounts, each field read by AccountFields, and the first-run
    // administrator when slot 1 is empty.
    static QList<AccountSlot> readSection(const SettingsStore &settings);
    // The section's keys for accounts, in the order they are written.
    static SettingsStore::KeyValues section(const QList<AccountSlot> &accounts);

    QString refusal() const override { return m_settings.refusal(); }
    Table open() override;
    Table load() override { return table(); }
    Table table() const override;
    Logon logOn(const QString &user, const QString &password, const QString &today) override;
    QString openSession(qint64 key, const QString &today) override;
    void endSession(qint64 key, const QString &session, qint32 minutesLeft,
                    const QString &today) override;
    void changePassword(qint64 key, const QString &password) override;
    std::optional<Table> replaceIfUnchanged(const QList<AccountSlot> &accounts,
                                            qint64 version) override;
    void keep(const QList<AccountSlot> &accounts) override;
    bool shared() const override { return false; }

private:
    // Reads the section unless the store is refused; false then, and the table is empty.
    bool read();
    void write();
    // The index of key's slot in the table; throws AppError (subscript out of range) for a key
    // that names no slot.
    qsizetype indexOf(qint64 key) const;
    // The row of key becomes opened, written; a new token for it is returned. The row is put
    // back when the write fails, and the failure thrown.
    QString open(qint64 key, const AccountSlot &opened);

    SettingsStore &m_settings;
    QList<AccountSlot> m_accounts;
    bool m_read = false;
    qint64 m_version = 0;
    // The token of the session running on each key since its logon.
    QMap<qint64, QString> m_sessions;
    quint64 m_sessionCount = 0;
};
