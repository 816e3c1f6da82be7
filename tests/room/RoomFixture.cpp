#include "RoomFixture.h"

#include <QLocale>

void RoomFixture::SetUpTestSuite()
{
    if (!PostgresCluster::missing().isEmpty())
        return;
    s_cluster = new PostgresCluster;
    s_ready = s_cluster->create();
}

void RoomFixture::TearDownTestSuite()
{
    delete s_cluster;
    s_cluster = nullptr;
    s_ready = false;
}

void RoomFixture::TearDown()
{
    QLocale::setDefault(QLocale::system());
}

void RoomFixture::SetUp()
{
    // The computers of most tests write their dates as en_US does.
    QLocale::setDefault(QLocale(QStringLiteral("en_US")));
    if (const QString missing = PostgresCluster::missing(); !missing.isEmpty())
        GTEST_SKIP() << "no PostgreSQL server to test the room against: " << qPrintable(missing);
    ASSERT_TRUE(s_ready) << qPrintable(s_cluster->error());
    ASSERT_TRUE(cluster().psql(QStringLiteral("DROP TABLE IF EXISTS accounts, room")))
        << qPrintable(cluster().error());
    // The administrator makes the tables; every computer logs on as the kiosks' role.
    admin = std::make_unique<PostgresAccountStore>(cluster().adminConninfo(),
                                                   homes.path() + QStringLiteral("/admin/journal"));
    admin->createSchema();
    admin->grantTo(PostgresCluster::KioskRole);
}

std::unique_ptr<PostgresAccountStore> RoomFixture::computer(const QString &name)
{
    return std::make_unique<PostgresAccountStore>(
        cluster().conninfo(), homes.path() + QLatin1Char('/') + name + QStringLiteral("/journal"));
}

void RoomFixture::put(const QList<AccountSlot> &accounts)
{
    ASSERT_TRUE(admin->replaceIfUnchanged(accounts, admin->load().version).has_value());
}

QList<AccountSlot> RoomFixture::stored()
{
    return admin->load().accounts;
}
