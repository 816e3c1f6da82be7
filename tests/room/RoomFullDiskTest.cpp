// A room's computer whose own disk is full or read-only, where it keeps the journal of session
// ends the server could not take: no minute comes back that the logon took.
#include "RoomFixture.h"

#include "core/rules/AppError.h"
#include "tests/robustness/ScratchDisk.h"

#include <QDir>

namespace {

using namespace RoomAccounts;

class RoomOnAFullDisk : public RoomFixture
{
protected:
    void SetUp() override
    {
        RoomFixture::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        disk = std::make_unique<ScratchDisk>(256 * 1024);
        if (!disk->available())
            GTEST_SKIP() << disk->whyNot().toStdString();
        folder = disk->path() + QStringLiteral("/TimoraV2");
        ASSERT_TRUE(QDir().mkpath(folder));
        put({Admin, Kid});
    }
    void TearDown() override
    {
        if (!IsSkipped())
            cluster().start();
    }

    // One computer whose journal lies on the small disk.
    std::unique_ptr<Computer> computerOnDisk()
    {
        return std::make_unique<Computer>(std::make_unique<PostgresAccountStore>(
            cluster().conninfo(), folder + QStringLiteral("/room-journal")));
    }

    qint32 logOnMinutes(Computer &pc)
    {
        const Logon logOn = pc.logOn(QStringLiteral("KID"), QStringLiteral("PW"), Today);
        return logOn.outcome == Logon::LoggedOn ? pc.session.minutes : -100;
    }

    std::unique_ptr<ScratchDisk> disk;
    QString folder;
};

TEST_F(RoomOnAFullDisk, ASessionEndGoesStraightToTheServerWhenTheJournalCannotBeWritten)
{
    auto pc = computerOnDisk();
    ASSERT_EQ(logOnMinutes(*pc), 60);
    ASSERT_GT(disk->fill(), 0);
    pc->endSession(25, Today);
    EXPECT_TRUE(pc->store->journal().entries().isEmpty());
    EXPECT_EQ(stored().at(1).minsLeft, 25);
    EXPECT_EQ(logOnMinutes(*pc), 25) << "the same day goes on from what was stored, no more";
}

TEST_F(RoomOnAFullDisk, ASessionEndNeitherTheServerNorTheDiskCanTakeForfeitsTheDay)
{
    auto pc = computerOnDisk();
    ASSERT_EQ(logOnMinutes(*pc), 60);
    ASSERT_GT(disk->fill(), 0);
    ASSERT_TRUE(cluster().stop());
    EXPECT_THROW(pc->endSession(25, Today), AppError);
    ASSERT_TRUE(cluster().start());
    disk->freeUp();

    auto next = computerOnDisk();
    EXPECT_EQ(stored().at(1).minsLeft, 0);
    EXPECT_EQ(next->logOn(QStringLiteral("KID"), QStringLiteral("PW"), Today).outcome,
              Logon::NoTimeLeft);
}

TEST_F(RoomOnAFullDisk, AJournalThatCannotBeEmptiedIsNeverStoredASecondTime)
{
    auto pc = computerOnDisk();
    ASSERT_EQ(logOnMinutes(*pc), 60);
    ASSERT_TRUE(cluster().stop());
    EXPECT_THROW(pc->endSession(40, Today), AppError);
    ASSERT_EQ(pc->store->journal().entries().size(), 1);
    ASSERT_TRUE(cluster().start());
    if (!disk->makeReadOnly(folder))
        GTEST_SKIP() << disk->whyNot().toStdString();

    // The remainder arrives although the file stays, logons go on, and a later session's end is
    // not overwritten by it when the journal is read again.
    auto next = computerOnDisk();
    EXPECT_EQ(next->store->deliverJournal(), 1);
    EXPECT_EQ(stored().at(1).minsLeft, 40);
    EXPECT_FALSE(next->store->journal().entries().isEmpty());
    EXPECT_EQ(next->store->deliverJournal(), 0) << "read again, it stores nothing";
    ASSERT_EQ(logOnMinutes(*next), 40);
    next->endSession(5, Today);
    EXPECT_EQ(stored().at(1).minsLeft, 5);

    auto third = computerOnDisk();
    EXPECT_EQ(third->store->deliverJournal(), 0);
    EXPECT_EQ(stored().at(1).minsLeft, 5);
    EXPECT_EQ(logOnMinutes(*third), 5);
}

} // namespace
