#include "core/linux/LogindPowerBackend.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QMutex>
#include <QProcess>
#include <QStringList>
#include <QThread>
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

namespace {

// Stands in for systemd-logind on a bus of the test's own: hands out an inhibitor as the
// writing end of a pipe, so the test sees when the last copy of it is closed.
class FakeLogind : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")
public:
    struct Inhibitor
    {
        QString what;
        QString who;
        QString mode;
        int readEnd;
    };

    ~FakeLogind() override
    {
        for (const Inhibitor &inhibitor : std::as_const(inhibitors))
            ::close(inhibitor.readEnd);
    }

    QList<Inhibitor> taken()
    {
        QMutexLocker lock(&mutex);
        return inhibitors;
    }
    QStringList calls()
    {
        QMutexLocker lock(&mutex);
        return callLog;
    }

    bool refuse = false;

public Q_SLOTS:
    QDBusUnixFileDescriptor Inhibit(const QString &what, const QString &who, const QString &why,
                                    const QString &mode)
    {
        Q_UNUSED(why);
        if (refuse) {
            sendErrorReply(QStringLiteral("org.freedesktop.DBus.Error.AccessDenied"),
                           QStringLiteral("Permission denied"));
            return {};
        }
        int ends[2];
        if (::pipe(ends) != 0)
            return {};
        QDBusUnixFileDescriptor handedOut(ends[1]);
        ::close(ends[1]);
        QMutexLocker lock(&mutex);
        inhibitors.append({what, who, mode, ends[0]});
        return handedOut;
    }
    void Reboot(bool interactive)
    {
        QMutexLocker lock(&mutex);
        callLog.append(QStringLiteral("Reboot(%1)")
                           .arg(interactive ? QLatin1String("true") : QLatin1String("false")));
    }
    void PowerOff(bool interactive)
    {
        if (refuse) {
            sendErrorReply(QStringLiteral("org.freedesktop.login1.OperationInProgress"),
                           QStringLiteral("There's already a shutdown or sleep operation in "
                                          "progress"));
            return;
        }
        QMutexLocker lock(&mutex);
        callLog.append(QStringLiteral("PowerOff(%1)")
                           .arg(interactive ? QLatin1String("true") : QLatin1String("false")));
    }

private:
    QMutex mutex;
    QList<Inhibitor> inhibitors;
    QStringList callLog;
};

bool closedByEveryone(int readEnd, int waitMs = 0)
{
    pollfd watched{readEnd, POLLIN, 0};
    return ::poll(&watched, 1, waitMs) == 1 && (watched.revents & POLLHUP);
}

class WithAStandInForLogind : public ::testing::Test
{
protected:
    void SetUp() override
    {
        daemon.setProgram(QStringLiteral("dbus-daemon"));
        daemon.setArguments({QStringLiteral("--session"), QStringLiteral("--nofork"),
                             QStringLiteral("--nopidfile"), QStringLiteral("--print-address=1")});
        daemon.start();
        if (!daemon.waitForStarted(5000))
            GTEST_SKIP() << "dbus-daemon is not installed";
        while (!daemon.canReadLine() && daemon.waitForReadyRead(5000)) {
        }
        const QString address = QString::fromUtf8(daemon.readLine().trimmed());
        ASSERT_FALSE(address.isEmpty());

        serviceThread.start();
        logind.moveToThread(&serviceThread);
        QDBusConnection service =
            QDBusConnection::connectToBus(address, QStringLiteral("fake-logind"));
        ASSERT_TRUE(service.isConnected());
        ASSERT_TRUE(service.registerObject(QStringLiteral("/org/freedesktop/login1"), &logind,
                                           QDBusConnection::ExportAllSlots));
        ASSERT_TRUE(service.registerService(QStringLiteral("org.freedesktop.login1")));
        power = std::make_unique<LogindPowerBackend>(
            QDBusConnection::connectToBus(address, QStringLiteral("program")));
    }

    void TearDown() override
    {
        power.reset();
        QDBusConnection::disconnectFromBus(QStringLiteral("program"));
        QDBusConnection::disconnectFromBus(QStringLiteral("fake-logind"));
        serviceThread.quit();
        serviceThread.wait();
        daemon.terminate();
        daemon.waitForFinished(5000);
    }

    QProcess daemon;
    QThread serviceThread;
    FakeLogind logind;
    std::unique_ptr<LogindPowerBackend> power;
};

TEST_F(WithAStandInForLogind, HoldsThePowerKeysAndSleepWithBlockInhibitorsUntilReleased)
{
    ASSERT_TRUE(power->hold(PowerBackend::Hold::PowerKeys)) << qPrintable(power->errorText());
    ASSERT_TRUE(power->hold(PowerBackend::Hold::Sleep)) << qPrintable(power->errorText());
    // Holding again keeps the inhibitor already taken.
    ASSERT_TRUE(power->hold(PowerBackend::Hold::Sleep));

    const auto taken = logind.taken();
    ASSERT_EQ(taken.size(), 2);
    EXPECT_EQ(taken[0].what, QStringLiteral("handle-power-key:handle-suspend-key:"
                                            "handle-hibernate-key:handle-lid-switch"));
    EXPECT_EQ(taken[1].what, QStringLiteral("sleep"));
    for (const auto &inhibitor : taken) {
        EXPECT_EQ(inhibitor.who, QStringLiteral("TimoraDesk"));
        EXPECT_EQ(inhibitor.mode, QStringLiteral("block"));
        EXPECT_FALSE(closedByEveryone(inhibitor.readEnd));
    }

    power->release(PowerBackend::Hold::PowerKeys);
    EXPECT_TRUE(closedByEveryone(taken[0].readEnd, 2000));
    EXPECT_FALSE(closedByEveryone(taken[1].readEnd));
    EXPECT_TRUE(power->isHeld(PowerBackend::Hold::Sleep));
    power->release(PowerBackend::Hold::Sleep);
    EXPECT_TRUE(closedByEveryone(taken[1].readEnd, 2000));
    EXPECT_FALSE(power->isHeld(PowerBackend::Hold::Sleep));
}

TEST_F(WithAStandInForLogind, RestartsAndPowersOffWithoutAskingTheUser)
{
    EXPECT_TRUE(power->reboot());
    EXPECT_TRUE(power->powerOff());
    EXPECT_EQ(logind.calls(),
              (QStringList{QStringLiteral("Reboot(false)"), QStringLiteral("PowerOff(false)")}));
}

TEST_F(WithAStandInForLogind, ARefusalIsReportedWithLogindsReason)
{
    logind.refuse = true;
    EXPECT_FALSE(power->hold(PowerBackend::Hold::Sleep));
    EXPECT_EQ(power->errorText(),
              QStringLiteral("org.freedesktop.DBus.Error.AccessDenied: Permission denied"));
    EXPECT_FALSE(power->isHeld(PowerBackend::Hold::Sleep));
    EXPECT_FALSE(power->powerOff());
    EXPECT_TRUE(power->errorText().startsWith(QStringLiteral("org.freedesktop.login1.")));
}

TEST(WithoutASystemBus, EveryRequestFailsWithAReason)
{
    LogindPowerBackend power(QDBusConnection(QStringLiteral("no such bus")));
    EXPECT_FALSE(power.hold(PowerBackend::Hold::PowerKeys));
    EXPECT_TRUE(power.errorText().startsWith(QStringLiteral("no system bus")));
    EXPECT_FALSE(power.reboot());
    EXPECT_FALSE(power.powerOff());
}

} // namespace

#include "LogindPowerBackendTest.moc"
