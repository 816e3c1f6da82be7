#pragma once

#include "core/rules/AccountConstants.h"
#include "core/rules/AccountSlot.h"
#include "core/rules/AccountStore.h"
#include "core/rules/AppError.h"

#include "core/rules/Logon.h"
#include "core/rules/SessionGrant.h"

#include <QList>
#include <QtGlobal>
#include <array>
#include <optional>

// The program's account table, which main owns and hands to every window: the ten slots, their load
// from and save to its store, and the rules the windows apply to them (logon, session end,
// password change, the administrator's grid). Slots are numbered 1..MaxAccounts; every access is
// checked here.
class AccountTable
{
public:
    static constexpr int MaxAccounts = AccountConstants::MaxAccounts;
    static inline const QString &AppName = AccountConstants::AppName;
    static inline const QString &Section = AccountConstants::Section;
    static inline const QString &AdminId = AccountConstants::AdminId;
    static inline const QString &FirstRunPassword = AccountConstants::FirstRunPassword;
    static inline const QString &FirstRunDate = AccountConstants::FirstRunDate;

    static inline const QString InvalidText = QStringLiteral("Invalid UserId/Password");
    static inline const QString DisabledText =
        QStringLiteral("Sorry, your UserID has been disabled. See your administrator");
    static inline const QString NoTimeLeftText = QStringLiteral("Sorry, no time left today");
    static inline const QString StoreRefusedText =
        QStringLiteral("Sorry, the settings file is not safe to use. See your administrator");
    static inline const QString CannotSaveText =
        QStringLiteral("Sorry, the accounts cannot be saved. See your administrator");
    static inline const QString ServerAwayText =
        QStringLiteral("Sorry, the account server cannot be reached. See your administrator");
    static inline const QString ChangedElsewhereText =
        QStringLiteral("Sorry, the accounts were changed on another computer. Click Reload and "
                       "make your changes again");
    static inline const QString &RestForfeitedText = AccountConstants::RestForfeitedText;
    static inline const QString ServerSaveFailedText =
        QStringLiteral("Sorry, the account server did not take the changes. Nothing was saved; "
                       "click Save to try again");

    // The store behind the table (the settings file, or a room's server); set once at start-up.
    void setStore(AccountStore *store) { m_store = store; }
    AccountStore *store() const { return m_store; }

    // Fills the table from the store (with the first-run administrator in slot 1 of an empty
    // settings file); a room's rows come with the first logon. A store that cannot be trusted
    // is not read at all: the table stays empty (no first-run administrator either) and
    // storeRefused() tells why.
    void LoadAccounts();
    // The store becomes the table. Throws AppError on failure, and when the table could not be
    // loaded from the store. The table is replaced only if nobody else (another computer of a
    // room) changed it since it was read; otherwise AppError says so (ChangedElsewhereText). An
    // account in a session shows what the store holds for it (0 minutes left since its logon),
    // so a save during a session gives no time back.
    void SaveAccounts();
    // Reads the table again from the store; a settings file is only ever changed by this
    // program, so there the table stays what it is.
    void reload();
    // Why the store was refused at the last load; empty when it was read.
    QString storeRefused() const { return m_storeRefused; }

    // The accounts in use, slot 1 first.
    int count() const { return m_count; }
    QList<AccountSlot> accounts() const;
    // Slot 1..MaxAccounts (empty beyond count()); throws AppError (subscript out of range)
    // for any other number.
    const AccountSlot &account(int slot) const;
    // The table becomes these accounts (at most MaxAccounts are kept), to be saved over whatever
    // the store holds (AccountStore::keep); no session is logged on.
    void setAccounts(const QList<AccountSlot> &accounts);

    // The store finds the account whose user id and password match, as typed but upper-cased,
    // applies the day rule with today's date text and, when the logon stands, stores the new day
    // with 0 minutes left (LogonRule): the grant then says what the session is given. A session
    // starts only once the store holds that 0: when it cannot be written, an ordinary account is
    // refused (CannotSave) and the table stays as it was; the administrator's logon stands, with
    // saveError to report. A store that was refused is looked at again first; a server that
    // cannot be reached refuses every logon. A refusal carries the box to show.
    Logon logOn(const QString &typedUser, const QString &typedPassword, const QString &today);
    // A session of slot opened without a logon (tools and tests play one), through the store as
    // a logon's: today's date and 0 minutes left are stored, and the grant has these minutes.
    // Throws AppError (subscript out of range for a slot that holds no account).
    SessionGrant openSession(int slot, qint32 minutes, const QString &today);
    // Stores minutesLeft and today's date text for the session's account, once. Throws AppError;
    // the account then shows what the store holds for it (a settings file: what the logon
    // stored, nothing left today).
    void endSession(const SessionGrant &session, qint32 minutesLeft, const QString &today);
    // The session's account's password becomes newPassword, upper-cased, and is stored; the
    // minutes left stay as the store has them until the session ends. Throws AppError.
    void changePassword(const SessionGrant &session, const QString &newPassword);

    // One row of the administrator's grid, as typed.
    struct GridRow
    {
        bool deleted = false;
        QString user;
        QString password;
        QString mins;
        QString left;
        QString date;

        bool isEmpty() const;
        bool operator==(const GridRow &) const = default;
    };
    enum class GridField { User, Password, Mins, Left, Date };
    // The first fault of a grid: its row (from 0), its field and the text to show. A date that
    // cannot be read has no text: it is answered with the calendar.
    struct GridFault
    {
        int row = 0;
        GridField field = GridField::User;
        QString text;
        bool operator==(const GridFault &) const = default;
    };
    // Checks every row to be stored, in order; an empty "left" of a row that passes so far takes
    // its minutes per day. Returns the first fault.
    static std::optional<GridFault> checkGrid(QList<GridRow> &rows);
    // What the administrator's Save came to.
    enum class GridSave {
        Saved,
        // The table was changed elsewhere (a room's, on another computer) since it was read.
        ChangedElsewhere,
        // A shared store did not take the grid: nothing changed, the grid is to stay as typed.
        Failed,
    };
    // The table becomes the grid's rows, closed up over deleted and empty rows, with user ids and
    // passwords upper-cased, and is stored. Throws AppError (type mismatch) for a number that
    // checkGrid would have refused, and when the store of this computer fails (the table then is
    // what the store holds). Anything but Saved changes nothing.
    GridSave replaceWithGrid(const QList<GridRow> &rows);

    // Back to the empty table of program start (for tests and a fresh run).
    void reset();

    static QString key(const char *prefix, int slot) { return AccountConstants::key(prefix, slot); }

private:
    AccountSlot &slot(int n);
    void assign(const QList<AccountSlot> &accounts);
    void take(const AccountStore::Table &table);
    // The stored key of slot n, 0 for none.
    qint64 keyOf(int n) const;
    // The slot whose stored key is key, 0 for none.
    int slotOf(qint64 key) const;
    // After a keyed write of this table's (a session, a password): the table's version follows
    // the store's if it was current before.
    void followOwnWrite(bool current);

    // Slots 1..10 are the accounts; slot 0 is never used.
    std::array<AccountSlot, MaxAccounts + 1> m_accounts{};
    int m_count = 0;
    AccountStore *m_store = nullptr;
    QString m_storeRefused;
    // The stored key of each slot and the table's version when it was read.
    std::array<qint64, MaxAccounts + 1> m_keys{};
    qint64 m_version = 0;
};
