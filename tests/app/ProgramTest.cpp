#include "core/linux/X11ServerKeys.h"
#include "core/linux/X11WindowSystem.h"
#include "tests/support/ForeignClient.h"
#include "tests/support/X11Display.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using X11Display::waitUntil;

// The program itself (restart and shut-down simulated) on the test display, with settings of
// its own.
class TheProgram : public ::testing::Test
{
protected:
    void SetUp() override
    {
        SKIP_WITHOUT_X11_DISPLAY();
        ASSERT_TRUE(home.isValid());
        serverKeysBefore = keyboardMap.actionsInMap();
        ASSERT_GT(serverKeysBefore, 0) << "the test display's keyboard map has no server keys";
        QProcessEnvironment environment = X11Display::programEnvironment(home.path());
        environment.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("detect_leaks=0"));
        program.setProcessEnvironment(environment);
        program.setProgram(QStringLiteral(TIMORADESK_EXECUTABLE));
        program.start();
        ASSERT_TRUE(program.waitForStarted(10000));
        ASSERT_TRUE(waitUntil([&] { return errors().contains("switches on\n"); }, 20000))
            << errors().constData();
        windows = std::make_unique<X11WindowSystem>(X11Display::name());
        ASSERT_TRUE(waitUntil([&] { return inFront(QStringLiteral("System Logon")); }, 10000));
    }

    void TearDown() override
    {
        // Told to end, the program gives the keyboard map back.
        if (program.state() != QProcess::NotRunning) {
            program.terminate();
            if (!program.waitForFinished(20000))
                program.kill();
        }
    }

    QByteArray errors()
    {
        m_errors += program.readAllStandardError();
        return m_errors;
    }

    bool inFront(const QString &title) { return X11Display::titleInFront(*windows) == title; }

    bool ended(int timeoutMs)
    {
        return waitUntil([&] { return program.state() == QProcess::NotRunning; }, timeoutMs);
    }

    QTemporaryDir home;
    X11ServerKeys keyboardMap;
    int serverKeysBefore = 0;
    QProcess program;
    std::unique_ptr<X11WindowSystem> windows;

private:
    QByteArray m_errors;
};

TEST_F(TheProgram, ClosesAWindowStartedBesideTheLogonWindowWithinTwoSeconds)
{
    ForeignClient terminal(X11Display::name(), {QStringLiteral("root@kiosk: ~")});
    terminal.map();
    terminal.activate();
    EXPECT_TRUE(waitUntil([&] { return terminal.closed(); }, 2500, [&] { terminal.poll(); }));
    EXPECT_EQ(program.state(), QProcess::Running);
}

TEST_F(TheProgram, ASingleComputerLoadsNoDatabaseLibrary)
{
    // libpq and what it needs (TLS, Kerberos, LDAP) would cost every start several milliseconds
    // and megabytes; only a computer in a room loads it.
    QFile maps(QStringLiteral("/proc/%1/maps").arg(program.processId()));
    ASSERT_TRUE(maps.open(QIODevice::ReadOnly));
    const QByteArray mapped = maps.readAll();
    ASSERT_TRUE(mapped.contains("libQt6Widgets")) << "the program's libraries are not listed";
    EXPECT_FALSE(mapped.contains("libpq.so"));
    EXPECT_FALSE(mapped.contains("libssl.so"));
    EXPECT_FALSE(mapped.contains("libkrb5.so"));
}

TEST_F(TheProgram, ExitTurnsTheSwitchesOffAsksForTheShutDownAndEnds)
{
    ASSERT_TRUE(X11Display::xdotool({QStringLiteral("key"), QStringLiteral("alt+x")}));
    ASSERT_TRUE(ended(20000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
    EXPECT_EQ(errors(), "switches on\nswitches off\nshut-down requested\n");
    EXPECT_EQ(keyboardMap.actionsInMap(), serverKeysBefore);
}

TEST_F(TheProgram, ExitWithTheAboutWindowOpenEndsTheProgramAndTheAboutWindowWithIt)
{
    ASSERT_TRUE(X11Display::xdotool({QStringLiteral("key"), QStringLiteral("alt+a")}));
    ASSERT_TRUE(waitUntil([&] { return inFront(QStringLiteral("About TimoraDesk")); }, 10000));
    // Back in the logon window, with the About window still open, Exit from its menu.
    ASSERT_TRUE(X11Display::xdotool({QStringLiteral("search"), QStringLiteral("--name"),
                                     QStringLiteral("^System Logon$"),
                                     QStringLiteral("windowactivate"), QStringLiteral("--sync")}));
    ASSERT_TRUE(waitUntil([&] { return inFront(QStringLiteral("System Logon")); }, 10000));
    // The program takes the focus a moment after the window manager made it active.
    waitUntil([] { return false; }, 500);
    ASSERT_TRUE(X11Display::xdotool({QStringLiteral("key"), QStringLiteral("alt+x")}));
    ASSERT_TRUE(ended(20000)) << "the program stayed with the About window alone; it said:\n"
                              << errors().constData();
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
    EXPECT_EQ(errors(), "switches on\nswitches off\nshut-down requested\n");
    EXPECT_EQ(keyboardMap.actionsInMap(), serverKeysBefore);
}

TEST_F(TheProgram, TheKeyboardMapComesBackWhenTheProgramIsToldToEnd)
{
    ASSERT_TRUE(waitUntil([&] { return keyboardMap.actionsInMap() == 0; }, 5000));
    program.terminate();
    ASSERT_TRUE(ended(20000));
    EXPECT_EQ(program.exitStatus(), QProcess::CrashExit) << "it ends by the signal";
    EXPECT_EQ(keyboardMap.actionsInMap(), serverKeysBefore);
}

} // namespace
