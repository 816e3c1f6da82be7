#include "core/linux/SessionBusFallback.h"
#include "tests/support/X11Display.h"

#include <QCoreApplication>
#include <QDir>
#include <QLineEdit>
#include <QProcess>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// Sets or clears an environment variable for one test and puts it back afterwards.
class ScopedEnv
{
public:
    ScopedEnv(const char *name, const QByteArray *value)
        : m_name(name), m_had(qEnvironmentVariableIsSet(name)), m_old(qgetenv(name))
    {
        if (value)
            qputenv(name, *value);
        else
            qunsetenv(name);
    }
    ~ScopedEnv()
    {
        if (m_had)
            qputenv(m_name, m_old);
        else
            qunsetenv(m_name);
    }

private:
    const char *m_name;
    bool m_had;
    QByteArray m_old;
};

bool makeSocket(const QString &path)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray bytes = QFile::encodeName(path);
    if (fd < 0 || bytes.size() >= int(sizeof address.sun_path))
        return false;
    std::copy(bytes.begin(), bytes.end(), address.sun_path);
    const bool bound = ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
    ::close(fd);
    return bound;
}

TEST(TheSessionBusFallback, LeavesEveryBusThatExistsAndStepsInOnlyWhereLibdbusWouldAutolaunch)
{
    QTemporaryDir runtime;
    ASSERT_TRUE(runtime.isValid());
    const QByteArray named = "unix:path=/run/user/1000/bus";
    const QByteArray empty;
    const QByteArray runtimePath = QFile::encodeName(runtime.path());

    {
        ScopedEnv address("DBUS_SESSION_BUS_ADDRESS", &named);
        ScopedEnv dir("XDG_RUNTIME_DIR", nullptr);
        EXPECT_FALSE(SessionBusFallback::wouldAutolaunch()) << "a named bus is used as it is";
        EXPECT_FALSE(SessionBusFallback::apply());
        EXPECT_EQ(qgetenv("DBUS_SESSION_BUS_ADDRESS"), named);
    }
    {
        ScopedEnv address("DBUS_SESSION_BUS_ADDRESS", &empty);
        ScopedEnv dir("XDG_RUNTIME_DIR", nullptr);
        EXPECT_TRUE(SessionBusFallback::wouldAutolaunch()) << "an empty address names no bus";
    }
    {
        ScopedEnv address("DBUS_SESSION_BUS_ADDRESS", nullptr);
        ScopedEnv dir("XDG_RUNTIME_DIR", &runtimePath);
        EXPECT_TRUE(SessionBusFallback::wouldAutolaunch()) << "no socket 'bus' in the folder";
        QFile plain(runtime.filePath(QStringLiteral("bus")));
        ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
        plain.close();
        EXPECT_TRUE(SessionBusFallback::wouldAutolaunch()) << "a plain file is no bus";
        ASSERT_TRUE(plain.remove());
        ASSERT_TRUE(makeSocket(runtime.filePath(QStringLiteral("bus"))));
        EXPECT_FALSE(SessionBusFallback::wouldAutolaunch()) << "the per-user bus is used";
        EXPECT_FALSE(SessionBusFallback::apply());
        EXPECT_FALSE(qEnvironmentVariableIsSet("DBUS_SESSION_BUS_ADDRESS"));
    }
    {
        ScopedEnv address("DBUS_SESSION_BUS_ADDRESS", nullptr);
        ScopedEnv dir("XDG_RUNTIME_DIR", nullptr);
        EXPECT_TRUE(SessionBusFallback::apply());
        EXPECT_EQ(qgetenv("DBUS_SESSION_BUS_ADDRESS"), SessionBusFallback::noBusAddress());
    }
}

// Run only as the child of the test below: a Qt program on X11 with a tray icon and an
// accessible window, which is what reaches for the session bus.
TEST(DISABLED_WithoutASessionBus, AQtProgramWithTrayAndWindowStartsAndEnds)
{
    SKIP_WITHOUT_X11_DISPLAY();
    QSystemTrayIcon tray(QIcon(QStringLiteral(":/timoradesk/timoradesk-16.png")));
    tray.show();
    QLineEdit field;
    field.setAccessibleName(QStringLiteral("User"));
    field.show();
    X11Display::spin(1500);
    SUCCEED();
}

// Started where no session bus exists (no address, no per-user bus socket), a process of ours
// must not try to launch one: without the dbus-launch helper the attempt leaves memory behind
// (the leak check fails the process), with it a bus daemon is started and its address written
// into the home folder and onto the X display.
TEST(WithoutASessionBus, NothingIsLaunchedAndNothingLeaks)
{
    SKIP_WITHOUT_X11_DISPLAY();
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.path());
    environment.insert(QStringLiteral("HOME"), home.path());
    environment.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("detect_leaks=1"));
    QProcess child;
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--gtest_also_run_disabled_tests"),
                 QStringLiteral("--gtest_filter=DISABLED_WithoutASessionBus.*")});
    ASSERT_TRUE(child.waitForFinished(60000));
    const QByteArray output = child.readAll();
    EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(child.exitCode(), 0) << output.constData();
    EXPECT_FALSE(output.contains("LeakSanitizer")) << output.constData();
    EXPECT_TRUE(output.contains("[  PASSED  ] 1 test")) << output.constData();
    EXPECT_FALSE(QDir(home.filePath(QStringLiteral(".dbus"))).exists())
        << "a session bus was launched for the child";
}

} // namespace
