#include "core/linux/X11WindowSystem.h"
#include "core/services/StartedPrograms.h"
#include "tests/support/ForeignClient.h"
#include "tests/support/X11Display.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QWidget>
#include <algorithm>
#include <cstdlib>
#include <gtest/gtest.h>

namespace {

using X11Display::waitUntil;

class OnTheTestDisplay : public ::testing::Test
{
protected:
    void SetUp() override
    {
        SKIP_WITHOUT_X11_DISPLAY();
        windows = std::make_unique<X11WindowSystem>(X11Display::name());
        ASSERT_TRUE(windows->connected());
        ASSERT_TRUE(windows->windowManagerRunning()) << "the test display needs openbox";
    }

    std::unique_ptr<ForeignClient> frontWindow(const ForeignClient::Options &options)
    {
        return ForeignClient::inFront(*windows, options);
    }

    std::unique_ptr<X11WindowSystem> windows;
};

TEST_F(OnTheTestDisplay, ReadsTheTitleOfTheWindowInFrontAsUtf8)
{
    const QString title = QStringLiteral("Überblick – Ωmega ✓");
    auto client = frontWindow({title});
    EXPECT_EQ(windows->titleOf(client->window()), title);
}

TEST_F(OnTheTestDisplay, FallsBackToTheLatin1TitleOfOlderPrograms)
{
    const QString title = QStringLiteral("Café crème");
    auto client = frontWindow({.title = title, .latin1TitleOnly = true});
    EXPECT_EQ(windows->titleOf(client->window()), title);
}

TEST_F(OnTheTestDisplay, ReadsAtMost255CharactersOfATitle)
{
    const QString longTitle = QString(300, QChar(0x00e9));
    auto client = frontWindow({longTitle});
    EXPECT_EQ(windows->titleOf(client->window()), longTitle.left(255));
    ForeignClient untitled(X11Display::name(), {QString()});
    EXPECT_EQ(windows->titleOf(untitled.window()), QString());
}

TEST_F(OnTheTestDisplay, AsksAWindowToCloseThroughItsDeleteProtocol)
{
    auto client = frontWindow({QStringLiteral("Notes")});
    windows->askToClose(client->window());
    EXPECT_TRUE(waitUntil([&] { return client->askedToClose(); }, 2000, [&] { client->poll(); }));
}

TEST_F(OnTheTestDisplay, AWindowWithoutTheDeleteProtocolIsClosedByTheWindowManager)
{
    auto client = frontWindow({.title = QStringLiteral("Stubborn"), .offersDelete = false});
    windows->askToClose(client->window());
    EXPECT_TRUE(waitUntil([&] { return client->closed(); }, 3000, [&] { client->poll(); }));
    EXPECT_FALSE(client->askedToClose());
}

TEST_F(OnTheTestDisplay, AWindowThatIsGoneIsSentNothingAndNothingIsPrinted)
{
    xcb_window_t gone = XCB_WINDOW_NONE;
    {
        ForeignClient client(X11Display::name(), {QStringLiteral("Short-lived")});
        client.map();
        gone = client.window();
    }
    // The client and its window are gone; the window manager may still name it for a moment.
    testing::internal::CaptureStderr();
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(windows->titleOf(gone), std::nullopt);
        windows->askToClose(gone);
    }
    X11Display::spin(200);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), std::string());
    EXPECT_TRUE(windows->connected());

    // The window system still works after the errors.
    auto next = frontWindow({QStringLiteral("Next")});
    EXPECT_EQ(windows->titleOf(next->window()), QStringLiteral("Next"));
}

TEST_F(OnTheTestDisplay, RemovesAWindowByForceWithItsProgram)
{
    auto client = frontWindow(
        {.title = QStringLiteral("Deaf"), .whenAsked = ForeignClient::Options::WhenAsked::Ignore});
    ForeignClient otherProgram(X11Display::name(), {QStringLiteral("Bystander")});
    EXPECT_TRUE(windows->forceClose(client->window()));
    EXPECT_TRUE(waitUntil([&] { return client->closed(); }, 2000, [&] { client->poll(); }));
    // The window leaves the front, and another program's window is not touched.
    EXPECT_TRUE(windows->waitUntilNotInFront(client->window(), 2000));
    otherProgram.poll();
    EXPECT_FALSE(otherProgram.closed());
    // A window that is gone names nobody.
    EXPECT_FALSE(windows->forceClose(client->window()));
}

TEST_F(OnTheTestDisplay, RemovesADesktopOrADockOfAnotherProgramButNeverTheProgramsOwnWindows)
{
    ForeignClient desktop(X11Display::name(),
                          {.title = QStringLiteral("Backdrop"), .desktopType = true});
    desktop.map();
    ForeignClient dock(X11Display::name(), {.title = QStringLiteral("panel"), .dockType = true});
    dock.map();
    QWidget own;
    own.setWindowTitle(QStringLiteral("Own"));
    own.show();
    ASSERT_TRUE(waitUntil([&] { return own.isVisible(); }, 2000));

    EXPECT_FALSE(windows->forceClose(static_cast<WindowSystem::WindowId>(own.winId())));
    EXPECT_FALSE(windows->forceClose(WindowSystem::NoWindow));
    EXPECT_TRUE(windows->forceClose(desktop.window()));
    EXPECT_TRUE(windows->forceClose(dock.window()));
    EXPECT_TRUE(waitUntil([&] { return desktop.closed() && dock.closed(); }, 2000,
                          [&] {
                              desktop.poll();
                              dock.poll();
                          }));
    EXPECT_TRUE(own.isVisible());
}

TEST_F(OnTheTestDisplay, TheFrontIsTheServersFocusWhateverTheRootsActiveWindowSays)
{
    QWidget own;
    own.setWindowTitle(QStringLiteral("Own"));
    ASSERT_TRUE(X11Display::showInFront(*windows, own));
    auto intruder = frontWindow({QStringLiteral("Intruder")});
    // Any client may write the property the window manager keeps.
    intruder->nameActive(static_cast<xcb_window_t>(own.winId()));
    X11Display::spin(100, [&] { intruder->poll(); });
    EXPECT_EQ(windows->foregroundWindow(), intruder->window());
}

TEST_F(OnTheTestDisplay, AWindowOfAnotherProgramInsideTheProgramsWindowIsItsOwn)
{
    QWidget own;
    own.setWindowTitle(QStringLiteral("Own"));
    ASSERT_TRUE(X11Display::showInFront(*windows, own));
    const auto ownId = static_cast<WindowSystem::WindowId>(own.winId());
    EXPECT_EQ(windows->foregroundWindow(), ownId);
    EXPECT_EQ(windows->makerOf(ownId), WindowSystem::Maker::Program);
    EXPECT_TRUE(windows->windowsCovering(ownId).isEmpty());

    // Any client may make a window inside another's and give it the keyboard.
    ForeignClient intruder(X11Display::name(), {QStringLiteral("Intruder")});
    const xcb_window_t inside = xcb_generate_id(intruder.connection());
    xcb_create_window(intruder.connection(), XCB_COPY_FROM_PARENT, inside, ownId, 0, 0, 50, 20, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
    xcb_map_window(intruder.connection(), inside);
    xcb_set_input_focus(intruder.connection(), XCB_INPUT_FOCUS_PARENT, inside, XCB_CURRENT_TIME);
    xcb_flush(intruder.connection());
    EXPECT_TRUE(waitUntil([&] { return windows->foregroundWindow() == inside; }, 2000));
    EXPECT_EQ(windows->makerOf(inside), WindowSystem::Maker::Other);
    EXPECT_EQ(windows->windowsCovering(ownId), QList<WindowSystem::WindowId>{inside});
}

TEST_F(OnTheTestDisplay, ListsTheWindowsOfOtherProgramsThatLieOverTheProgramsWindow)
{
    QWidget own;
    own.setWindowTitle(QStringLiteral("Own"));
    own.setGeometry(100, 100, 300, 200);
    ASSERT_TRUE(X11Display::showInFront(*windows, own));
    const auto ownId = static_cast<WindowSystem::WindowId>(own.winId());
    const QRect frame = own.frameGeometry();

    ForeignClient over(X11Display::name(), {.title = QStringLiteral("panel"), .dockType = true});
    over.place(frame.x() + 20, frame.y() + 20, 100, 40);
    over.map();
    ForeignClient beside(X11Display::name(), {.title = QStringLiteral("clock"), .dockType = true});
    beside.place(frame.right() + 50, frame.bottom() + 50, 60, 60);
    beside.map();
    QList<WindowSystem::WindowId> covering;
    EXPECT_TRUE(waitUntil(
        [&] {
            covering = windows->windowsCovering(ownId);
            return covering == QList<WindowSystem::WindowId>{over.window()};
        },
        2000))
        << "over " << over.window() << ", beside " << beside.window() << ", listed "
        << covering.size() << (covering.isEmpty() ? 0u : covering.first());
}

// A program that opens a window titled "System Information" on the test display.
class SystemInformationWindow
{
public:
    SystemInformationWindow()
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DISPLAY"), QString::fromLocal8Bit(X11Display::name()));
        process.setProcessEnvironment(environment);
        process.start(QStringLiteral("xmessage"),
                      {QStringLiteral("-title"), QStringLiteral("System Information"),
                       QStringLiteral("hardware")});
    }
    ~SystemInformationWindow()
    {
        process.kill();
        process.waitForFinished(5000);
    }
    QProcess process;
};

TEST_F(OnTheTestDisplay, TellsTheWindowsOfAProgramThatTheProgramStartedByTheServersView)
{
    SystemInformationWindow started;
    SystemInformationWindow stranger;
    ASSERT_TRUE(started.process.waitForStarted(5000));
    ASSERT_TRUE(stranger.process.waitForStarted(5000));
    StartedPrograms::add(started.process.processId());
    // The windows of both, as xdotool finds them by their title.
    QList<WindowSystem::WindowId> seen;
    ASSERT_TRUE(waitUntil(
        [&] {
            QProcess search;
            search.setProcessEnvironment(started.process.processEnvironment());
            search.start(QStringLiteral("xdotool"),
                         {QStringLiteral("search"), QStringLiteral("--name"),
                          QStringLiteral("^System Information$")});
            search.waitForFinished(5000);
            seen.clear();
            for (const QByteArray &line : search.readAllStandardOutput().split('\n')) {
                if (!line.trimmed().isEmpty())
                    seen.append(line.trimmed().toUInt());
            }
            return seen.size() == 2;
        },
        5000));
    QList<WindowSystem::Maker> makers{windows->makerOf(seen.at(0)), windows->makerOf(seen.at(1))};
    std::sort(makers.begin(), makers.end());
    EXPECT_EQ(makers, (QList<WindowSystem::Maker>{WindowSystem::Maker::StartedProgram,
                                                  WindowSystem::Maker::Other}));

    // Once the started program is gone, nothing of it is let through.
    const WindowSystem::WindowId startedWindow =
        windows->makerOf(seen.at(0)) == WindowSystem::Maker::StartedProgram ? seen.at(0)
                                                                            : seen.at(1);
    started.process.kill();
    started.process.waitForFinished(5000);
    EXPECT_EQ(windows->makerOf(startedWindow), WindowSystem::Maker::Other);
    StartedPrograms::clear();
}

TEST_F(OnTheTestDisplay, WaitsForAWindowToLeaveTheFrontOnlyAsLongAsItIsTold)
{
    auto client = frontWindow(
        {.title = QStringLiteral("Deaf"), .whenAsked = ForeignClient::Options::WhenAsked::Ignore});
    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(windows->waitUntilNotInFront(client->window(), 150));
    EXPECT_GE(clock.elapsed(), 150);
    EXPECT_LT(clock.elapsed(), 1000);
}

TEST_F(OnTheTestDisplay, NoWindowMeansNothingIsSent)
{
    testing::internal::CaptureStderr();
    windows->askToClose(WindowSystem::NoWindow);
    EXPECT_EQ(windows->titleOf(WindowSystem::NoWindow), std::nullopt);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), std::string());
}

// An X server of the test's own, without a window manager.
class BareXServer : public ::testing::Test
{
protected:
    void SetUp() override
    {
        server.setProgram(QStringLiteral("Xvfb"));
        server.setArguments({QStringLiteral("-displayfd"), QStringLiteral("1"),
                             QStringLiteral("-screen"), QStringLiteral("0"),
                             QStringLiteral("640x480x24"), QStringLiteral("-nolisten"),
                             QStringLiteral("tcp")});
        server.start();
        if (!server.waitForStarted(5000))
            GTEST_SKIP() << "Xvfb is not installed";
        ASSERT_TRUE(waitUntil([&] { return server.canReadLine(); }, 10000));
        display = ':' + server.readLine().trimmed();
        windows = std::make_unique<X11WindowSystem>(display);
        ASSERT_TRUE(windows->connected());
    }

    void TearDown() override
    {
        windows.reset();
        server.terminate();
        server.waitForFinished(5000);
    }

    QProcess server;
    QByteArray display;
    std::unique_ptr<X11WindowSystem> windows;
};

TEST_F(BareXServer, TheFocusedWindowTakenUpToItsTopLevelIsInFront)
{
    EXPECT_FALSE(windows->windowManagerRunning());
    ForeignClient client(display, {QStringLiteral("No Manager Here")});
    client.map();
    // The keyboard focus on a child window inside the application's top-level window.
    const xcb_window_t child = xcb_generate_id(client.connection());
    xcb_create_window(client.connection(), XCB_COPY_FROM_PARENT, child, client.window(), 10, 10, 50,
                      20, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
    xcb_map_window(client.connection(), child);
    xcb_set_input_focus(client.connection(), XCB_INPUT_FOCUS_PARENT, child, XCB_CURRENT_TIME);
    xcb_flush(client.connection());

    EXPECT_TRUE(waitUntil([&] { return windows->foregroundWindow() == client.window(); }, 2000));
    EXPECT_EQ(windows->titleOf(windows->foregroundWindow()), QStringLiteral("No Manager Here"));
}

TEST_F(BareXServer, WhenTheFocusFollowsThePointerTheWindowUnderItIsInFront)
{
    ForeignClient client(display, {QStringLiteral("Under The Pointer")});
    client.map();
    xcb_set_input_focus(client.connection(), XCB_INPUT_FOCUS_POINTER_ROOT,
                        XCB_INPUT_FOCUS_POINTER_ROOT, XCB_CURRENT_TIME);
    xcb_warp_pointer(client.connection(), XCB_WINDOW_NONE, client.root(), 0, 0, 0, 0, 5, 5);
    xcb_flush(client.connection());
    EXPECT_TRUE(
        waitUntil([&] { return windows->foregroundWindow() == WindowSystem::NoWindow; }, 2000));

    xcb_warp_pointer(client.connection(), XCB_WINDOW_NONE, client.window(), 0, 0, 0, 0, 20, 20);
    xcb_flush(client.connection());
    EXPECT_TRUE(waitUntil([&] { return windows->foregroundWindow() == client.window(); }, 2000));
}

TEST_F(BareXServer, FindsTheDesktopWindowAmongTheTopLevelWindows)
{
    ForeignClient plain(display, {QStringLiteral("Plain")});
    plain.map();
    EXPECT_EQ(windows->desktopTitle(), std::nullopt);
    ForeignClient desktop(display, {.title = QStringLiteral("Backdrop"), .desktopType = true});
    desktop.map();
    EXPECT_EQ(windows->desktopTitle(), QStringLiteral("Backdrop"));
}

TEST_F(BareXServer, AnXServerThatGoesAwayEndsTheWindowSystemQuietly)
{
    ForeignClient client(display, {QStringLiteral("Soon Orphaned")});
    client.map();
    xcb_set_input_focus(client.connection(), XCB_INPUT_FOCUS_PARENT, client.window(),
                        XCB_CURRENT_TIME);
    xcb_flush(client.connection());
    ASSERT_TRUE(waitUntil([&] { return windows->foregroundWindow() == client.window(); }, 2000));

    server.kill();
    server.waitForFinished(5000);
    testing::internal::CaptureStderr();
    for (int i = 0; i < 50; ++i) {
        EXPECT_EQ(windows->foregroundWindow(), WindowSystem::NoWindow);
        windows->askToClose(client.window());
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "TimoraDesk: lost the connection to the X display; the foreground guard stops\n");
}

} // namespace
