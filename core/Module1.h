#pragma once

#include "AccountSlot.h"

#include <QtGlobal>
#include <array>

class SettingsStore;

// The account table shared by every window, with its load from and save to the settings store.
class Module1
{
public:
    static constexpr int MaxAccounts = 10;
    static inline const QString AppName = QStringLiteral("TimoraV2");
    static inline const QString Section = QStringLiteral("SecData");
    static inline const QString AdminId = QStringLiteral("ADMINISTRATOR");
    static inline const QString FirstRunPassword = QStringLiteral("QUIVERLANTERN");
    static inline const QString FirstRunDate = QStringLiteral("01/01/1998");

    // Slots 1..10 are the accounts; slot 0 is never used.
    std::array<AccountSlot, MaxAccounts + 1> accounts{};
    qint16 accountCount = 0;
    qint16 loggedOnIndex = 0;
    qint32 sessionMinutes = 0;
    // Set while an ordinary user's session runs: every save then stores 0 minutes left for the
    // logged-on account, so that a program killed during a session gives no time back. The
    // session end clears it before it stores the remainder.
    bool sessionRunning = false;

    // The store that LoadAccounts and SaveAccounts use; set once at start-up.
    void setStore(SettingsStore *store) { m_store = store; }
    SettingsStore *store() const { return m_store; }

    // Fills the table from the store, or puts the first-run administrator into slot 1. A store
    // that cannot be trusted is not read at all: the table stays empty (no first-run
    // administrator either) and storeRefused() tells why.
    void LoadAccounts();
    // Rewrites the store's section from slots 1..accountCount. Throws AppError on failure, and
    // when the table could not be loaded from the store.
    void SaveAccounts();

    // Why the store was refused at the last load; empty when it was read.
    QString storeRefused() const { return m_storeRefused; }

    // The logged-on slot; throws AppError (9, subscript out of range) when none is valid.
    AccountSlot &loggedOnSlot();

    // Back to the empty table of program start (for tests and a fresh run).
    void reset();

    static QString key(const char *prefix, int slot);

private:
    SettingsStore *m_store = nullptr;
    QString m_storeRefused;
};

// The one account table of the running program.
Module1 &module1();
