#pragma once

#include "AccountSlot.h"
#include "AppError.h"

#include <QList>
#include <QtGlobal>
#include <array>
#include <optional>

class AccountStore;
class SettingsStore;

// The program's account table, which main owns and hands to every window: the ten slots, their load
// from and save to the settings store, and the rules the windows apply to them (logon, session end,
// password change, the administrator's grid). Slots are numbered 1..MaxAccounts; every access is
// checked here.
class AccountTable
{
public:
    static constexpr int MaxAccounts = 10;
    static inline const QString AppName = QStringLiteral("TimoraV2");
    static inline const QString Section = QStringLiteral("SecData");
    static inline const QString AdminId = QStringLiteral("ADMINISTRATOR");
    static inline const QString FirstRunPassword = QStringLiteral("QUIVERLANTERN");
    static inline const QString FirstRunDate = QStringLiteral("01/01/1998");

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
    static inline const QString ServerSaveFailedText =
        QStringLiteral("Sorry, the account server did not take the changes. Nothing was saved; "
                       "click Save to try again");

    // The store that LoadAccounts and SaveAccounts use; set once at start-up.
    void setStore(SettingsStore *store) { m_store = store; }
    SettingsStore *store() const { return m_store; }
    // A room's store shared with other computers; when set, it is used instead of the settings
    // store, and every rule works on its rows directly.
    void setAccountStore(AccountStore *store) { m_room = store; }
    AccountStore *accountStore() const { return m_room; }

    // The accounts of a settings section as LoadAccounts reads them: slot 1 on, up to the first
    // empty user id or MaxAccounts, unreadable minutes as 0, and the first-run administrator
    // when slot 1 is empty.
    static QList<AccountSlot> readSection(const SettingsStore &store);

    // Fills the table from the store, or puts the first-run administrator into slot 1. A store
    // that cannot be trusted is not read at all: the table stays empty (no first-run
    // administrator either) and storeRefused() tells why.
    void LoadAccounts();
    // Rewrites the store's section from the table. Throws AppError on failure, and when the table
    // could not be loaded from the store. A room's table is replaced only if no other computer
    // changed it since it was read; otherwise AppError says so.
    void SaveAccounts();
    // Reads a room's table again; the local table is only ever changed by this program, so
    // there it keeps what it holds.
    void reload();

    // Why the store was refused at the last load; empty when it was read.
    QString storeRefused() const { return m_storeRefused; }

    // The accounts in use, slot 1 first.
    int count() const { return m_count; }
    QList<AccountSlot> accounts() const;
    // Slot 1..MaxAccounts (empty beyond count()); throws AppError (subscript out of range)
    // for any other number.
    const AccountSlot &account(int slot) const;
    // The table becomes these accounts (at most MaxAccounts are kept); no session is logged on.
    void setAccounts(const QList<AccountSlot> &accounts);

    // The outcome of a logon attempt.
    struct LogOn
    {
        enum Outcome { LoggedOn, StoreRefused, Invalid, Disabled, NoTimeLeft, CannotSave };
        Outcome outcome = Invalid;
        // The box to show for a refusal; empty when logged on.
        QString refusal;
        bool administrator = false;
        // The administrator's logon stands when the store could not be written (he has no
        // allowance to protect and may have to mend things); the failure is to be reported.
        // Any other account is refused then (CannotSave) and nothing changes.
        std::optional<AppError> saveError;
    };
    // Finds the account whose user id and password match, as typed but upper-cased, applies
    // the day rule with today's date text and, when the logon stands, stores the new day with
    // 0 minutes left. A session starts only once the store holds that 0: when it cannot be
    // written, an ordinary account is refused and the table stays as it was. A store that was
    // refused is looked at again first.
    LogOn logOn(const QString &typedUser, const QString &typedPassword, const QString &today);

    // The slot of the account logged on, 0 for none.
    int loggedOnIndex() const { return m_loggedOn; }
    // The logged-on slot; throws AppError (subscript out of range) when none is valid.
    const AccountSlot &loggedOnSlot() const;
    // The logged-on account's minutes per day; 0 when none is logged on.
    qint32 loggedOnAllowance() const;
    // The logon window waits again: nobody is logged on.
    void logOff() { m_loggedOn = 0; }

    // The minutes the last logon granted to its session; -1 counts without limit.
    qint32 grantedMinutes() const { return m_grantedMinutes; }
    // A session of the logged-on account runs: until it ends, every save stores 0 minutes left
    // for that account, so that a program killed during a session gives no time back.
    void setSessionRunning(bool running) { m_sessionRunning = running; }
    bool sessionRunning() const { return m_sessionRunning; }
    // Stores minutesLeft and today's date text for the logged-on account. Throws AppError; the
    // table then keeps what the logon stored (nothing left today), as the store does.
    void endSession(qint32 minutesLeft, const QString &today);
    // The logged-on account's password becomes newPassword, upper-cased, and is stored; the
    // minutes left stay as the store has them until the session ends. Throws AppError.
    void changePassword(const QString &newPassword);

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
    // The table becomes the grid's rows, closed up over deleted and empty rows, with user ids and
    // passwords upper-cased, and is stored. Throws AppError (type mismatch) for a number that
    // checkGrid would have refused, and when the store fails. Returns false, changing nothing,
    // when a room's table was changed on another computer since it was read.
    bool replaceWithGrid(const QList<GridRow> &rows);

    // Back to the empty table of program start (for tests and a fresh run).
    void reset();
    // For tests and tools that play a session: slot logged on, granted these minutes.
    void setSession(int slot, qint32 minutes);

    static QString key(const char *prefix, int slot);

private:
    AccountSlot &slot(int n);
    LogOn roomLogOn(const QString &user, const QString &password, const QString &today);
    void takeRoomTable(const QList<AccountSlot> &accounts, qint64 version);

    // Slots 1..10 are the accounts; slot 0 is never used.
    std::array<AccountSlot, MaxAccounts + 1> m_accounts{};
    int m_count = 0;
    int m_loggedOn = 0;
    qint32 m_grantedMinutes = 0;
    bool m_sessionRunning = false;
    SettingsStore *m_store = nullptr;
    QString m_storeRefused;
    // A room: the table's version when it was read, and the stored key and the token of the
    // account logged on here.
    AccountStore *m_room = nullptr;
    qint64 m_version = 0;
    qint64 m_sessionKey = 0;
    QString m_sessionToken;
};
