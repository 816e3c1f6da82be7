// The server away: a logon is refused and changes nothing; a session end is kept in the journal
// and stored once when the server is back.
#include "RoomFixture.h"

#include "core/rules/AppError.h"

namespace {

using namespace RoomAccounts;

class RoomAway : public RoomFixture
{
protected:
    void TearDown() override
    {
        // The next test finds the server running.
        if (!HasFatalFailure() && !IsSkipped())
            cluster().start();
        RoomFixture::TearDown();
    }
};

TEST_F(RoomAway, ALogonWithTheServerAwayIsRefusedAndChangesNothing)
{
    put({Admin, Kid});
    Computer pc(computer());
    const QList<AccountSlot> before = stored();
    ASSERT_TRUE(cluster().stop());
    const Logon logOn = pc.logOn(QStringLiteral("KID"), QStringLiteral("PW"), Today);
    EXPECT_EQ(logOn.outcome, Logon::StoreRefused);
    EXPECT_EQ(logOn.refusal, AccountTable::ServerAwayText);
    ASSERT_TRUE(cluster().start());
    EXPECT_EQ(stored(), before);
    EXPECT_EQ(pc.logOn(QStringLiteral("KID"), QStringLiteral("PW"), Today).outcome, Logon::LoggedOn)
        << "the next logon reaches the server again";
}

TEST_F(RoomAway, ASessionEndWithTheServerAwayArrivesOnceAtTheNextStart)
{
    put({Admin, Kid});
    const QString journal = homes.path() + QStringLiteral("/pc/journal");
    {
        Computer pc(computer(QStringLiteral("pc")));
        ASSERT_EQ(pc.logOn(QStringLiteral("KID"), QStringLiteral("PW"), Today).outcome,
                  Logon::LoggedOn);
        ASSERT_TRUE(cluster().stop());
        try {
            pc.endSession(17, Today);
            ADD_FAILURE() << "the server is away";
        } catch (const AppError &error) {
            EXPECT_EQ(error.description().count(QStringLiteral("Path/File access error")), 1)
                << qPrintable(error.description());
            EXPECT_TRUE(error.description().contains(QStringLiteral("kept")));
        }
        ASSERT_EQ(pc.store->journal().entries().size(), 1);
        ASSERT_TRUE(cluster().start());
    }
    EXPECT_EQ(stored().at(1).minsLeft, 0) << "not stored before the program starts again";

    // The next start of the program on that computer delivers it before anything else.
    PostgresAccountStore next(cluster().conninfo(), journal);
    EXPECT_EQ(next.deliverJournal(), 1);
    EXPECT_EQ(stored().at(1), (AccountSlot{Kid.userId, Kid.password, 60, Today, 17}));
    EXPECT_TRUE(next.journal().entries().isEmpty());

    // A journal kept by a program killed right after the server took it is stored no second
    // time, also after the account has logged on again elsewhere.
    Computer other(computer(QStringLiteral("other")));
    ASSERT_EQ(other.logOn(QStringLiteral("KID"), QStringLiteral("PW"), Today).outcome,
              Logon::LoggedOn);
    RoomJournal stale(journal);
    const AccountStore::Table now = admin->load();
    stale.append({now.keys.at(1), QStringLiteral("an-ended-session"), 17, Today});
    EXPECT_EQ(next.deliverJournal(), 0);
    EXPECT_EQ(stored().at(1).minsLeft, 0);
}

TEST_F(RoomAway, AServerRestartedDuringTheSessionTakesItsEndDirectly)
{
    put({Admin, Kid});
    Computer pc(computer());
    ASSERT_EQ(pc.logOn(QStringLiteral("KID"), QStringLiteral("PW"), Today).outcome,
              Logon::LoggedOn);
    ASSERT_TRUE(cluster().stop());
    ASSERT_TRUE(cluster().start());
    pc.endSession(44, Today);
    EXPECT_TRUE(pc.store->journal().entries().isEmpty());
    EXPECT_EQ(stored().at(1).minsLeft, 44);
}

} // namespace
