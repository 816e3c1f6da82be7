#include "room/LibPq.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

TEST(LibPq, LoadsOnceWithEveryFunctionAndReportsAServerThatIsNotThere)
{
    QString error;
    const LibPq *pq = LibPq::load(&error);
    ASSERT_NE(pq, nullptr) << error.toStdString();
    EXPECT_EQ(LibPq::load(nullptr), pq) << "loaded again instead of once";

    // A socket folder with no server in it: the library answers, through the loaded functions.
    QTemporaryDir nowhere;
    ASSERT_TRUE(nowhere.isValid());
    const QByteArray conninfo = "host=" + nowhere.path().toUtf8() + " connect_timeout=2";
    pg_conn *conn = pq->connectdb(conninfo.constData());
    ASSERT_NE(conn, nullptr);
    EXPECT_EQ(pq->status(conn), CONNECTION_BAD);
    EXPECT_TRUE(QByteArray(pq->errorMessage(conn)).contains(nowhere.path().toUtf8()))
        << pq->errorMessage(conn);
    pq->finish(conn);
}

TEST(LibPq, AMissingLibraryIsReportedWithWhatToInstall)
{
    QString error;
    EXPECT_EQ(LibPq::load(&error, "libtimora-absent.so.9"), nullptr);
    EXPECT_TRUE(error.contains(QStringLiteral("libtimora-absent.so.9"))) << error.toStdString();
    EXPECT_TRUE(error.contains(QStringLiteral("libpq5"))) << error.toStdString();
    // Not remembered: a package installed later is found at the next try.
    EXPECT_EQ(LibPq::load(nullptr, "libtimora-absent.so.9"), nullptr);
}

TEST(LibPq, ALibraryWithoutTheFunctionsIsRefusedAndNamed)
{
    QString error;
    EXPECT_EQ(LibPq::load(&error, "libc.so.6"), nullptr);
    EXPECT_EQ(error, QStringLiteral("libc.so.6 has no function PQconnectdb"));
}

} // namespace
