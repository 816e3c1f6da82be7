// The account store's contract run against a room's store on a real PostgreSQL server.
#include "RoomFixture.h"
#include "tests/core/rules/AccountStoreContract.h"

namespace {

class RoomBackend : public RoomFixture
{
protected:
    void SetUp() override
    {
        RoomFixture::SetUp();
        if (!IsSkipped() && !HasFatalFailure())
            m_store = computer();
    }
    void TearDown() override
    {
        if (m_revoked)
            failWrites(false);
        m_store.reset();
        RoomFixture::TearDown();
    }
    AccountStore &store() { return *m_store; }
    void put(const QList<AccountSlot> &accounts)
    {
        if (accounts.isEmpty())
            ASSERT_TRUE(cluster().psql(QStringLiteral("DELETE FROM accounts")));
        else
            RoomFixture::put(accounts);
    }
    // Another computer of the room: the administrator's.
    void changeElsewhere(const QList<AccountSlot> &accounts) { RoomFixture::put(accounts); }
    // The kiosks' role loses the right to lock the room's row, which every write of a computer
    // takes first: each of its writes fails on the server.
    void failWrites(bool fail)
    {
        m_revoked = fail;
        ASSERT_TRUE(cluster().psql(fail ? QStringLiteral("REVOKE UPDATE ON room FROM kiosk")
                                        : QStringLiteral("GRANT UPDATE ON room TO kiosk")))
            << qPrintable(cluster().error());
    }

private:
    std::unique_ptr<PostgresAccountStore> m_store;
    bool m_revoked = false;
};

struct BackendName
{
    template<class T> static std::string GetName(int) { return "PostgreSQL"; }
};

INSTANTIATE_TYPED_TEST_SUITE_P(Room, AccountStoreContract, ::testing::Types<RoomBackend>,
                               BackendName);

} // namespace
