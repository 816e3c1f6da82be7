#pragma once

#include "PostgresCluster.h"
#include "core/rules/AccountTable.h"
#include "room/PostgresAccountStore.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

// The accounts most room tests start from: the administrator and KID, both last on yesterday.
namespace RoomAccounts {
inline const QString Today = QStringLiteral("12/8/2026");
inline const QString Yesterday = QStringLiteral("12/7/2026");
inline const AccountSlot Admin{AccountTable::AdminId, QStringLiteral("BOSS"), -1, Yesterday, -1};
inline const AccountSlot Kid{QStringLiteral("KID"), QStringLiteral("PW"), 60, Yesterday, 12};
} // namespace RoomAccounts

// A real PostgreSQL server for the test suite, and a fresh room (empty tables) for every test.
// The tests skip only when the server's programs are not installed.
class RoomFixture : public ::testing::Test
{
protected:
    static void SetUpTestSuite();
    static void TearDownTestSuite();
    void SetUp() override;
    void TearDown() override;

    static PostgresCluster &cluster() { return *s_cluster; }
    // A store as one computer of the room has it, with a journal of its own.
    std::unique_ptr<PostgresAccountStore> computer(const QString &name = QStringLiteral("pc"));
    // The room holds exactly these accounts, whatever it held before.
    void put(const QList<AccountSlot> &accounts);
    // The room's table, read fresh.
    QList<AccountSlot> stored();

    QTemporaryDir homes;
    std::unique_ptr<PostgresAccountStore> admin;

private:
    static inline PostgresCluster *s_cluster = nullptr;
    static inline bool s_ready = false;
};

// One computer of the room: its store and its own account table.
struct Computer
{
    Computer(std::unique_ptr<PostgresAccountStore> s) : store(std::move(s))
    {
        table.setStore(store.get());
        table.LoadAccounts();
    }
    // The logon of this computer's table; a logon that stands opens its session.
    Logon logOn(const QString &user, const QString &password, const QString &today)
    {
        const Logon result = table.logOn(user, password, today);
        if (result.outcome == Logon::LoggedOn)
            session = result.grant;
        return result;
    }
    // The end of the session of the last logon that stood.
    void endSession(qint32 minutesLeft, const QString &today)
    {
        table.endSession(session, minutesLeft, today);
    }
    void changePassword(const QString &password) { table.changePassword(session, password); }

    std::unique_ptr<PostgresAccountStore> store;
    AccountTable table;
    SessionGrant session;
};
