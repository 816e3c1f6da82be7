#include "about/frmAbout.h"
#include "core/linux/X11WindowSystem.h"
#include "core/services/Services.h"
#include "core/widgets/QtMessageBoxes.h"
#include "logon/frmLogon.h"
#include "tests/support/FakeServices.h"
#include "tests/support/ForeignClient.h"
#include "tests/support/X11Display.h"

#include <QApplication>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace {

using X11Display::waitUntil;

class GuardOnX11 : public TimoraTest
{
protected:
    void SetUp() override
    {
        SKIP_WITHOUT_X11_DISPLAY();
        TimoraTest::SetUp();
        windows = std::make_unique<X11WindowSystem>(X11Display::name());
        services.windowSystem = windows.get();
    }

    void TearDown() override
    {
        TimoraTest::TearDown();
        windows.reset();
    }

    frmLogon &openLogon()
    {
        frmLogon &w = flow().logon();
        EXPECT_TRUE(X11Display::showInFront(*windows, w));
        return w;
    }

    bool inFront(const QWidget &w) const { return X11Display::inFront(*windows, w); }

    std::unique_ptr<ForeignClient> frontWindow(const ForeignClient::Options &options)
    {
        return ForeignClient::inFront(*windows, options);
    }

    std::unique_ptr<X11WindowSystem> windows;
};

// The real window system with the window in front fixed by the test: one that has just gone
// away (as openbox may leave it named), or one the window manager will not bring to the front on
// request (a desktop window).
class FixedFront : public WindowSystem
{
public:
    FixedFront(WindowSystem &real, WindowId front) : m_real(real), m_front(front) {}
    WindowId foregroundWindow() override { return m_front; }
    Maker makerOf(WindowId window) override { return m_real.makerOf(window); }
    QList<WindowId> windowsCovering(WindowId window) override
    {
        return m_real.windowsCovering(window);
    }
    std::optional<QString> titleOf(WindowId window) override { return m_real.titleOf(window); }
    void askToClose(WindowId window) override { m_real.askToClose(window); }
    bool forceClose(WindowId window) override { return m_real.forceClose(window); }
    bool waitUntilNotInFront(WindowId window, int timeoutMs) override
    {
        return m_real.waitUntilNotInFront(window, timeoutMs);
    }
    std::optional<QString> desktopTitle() override { return m_real.desktopTitle(); }

private:
    WindowSystem &m_real;
    WindowId m_front;
};

class AForeignWindow : public GuardOnX11, public ::testing::WithParamInterface<bool>
{};

TEST_P(AForeignWindow, BroughtToTheFrontIsClosedWithinATick)
{
    openLogon();
    auto client = frontWindow({.title = QStringLiteral("xmessage"), .offersDelete = GetParam()});
    QElapsedTimer inFrontFor;
    inFrontFor.start();
    EXPECT_TRUE(waitUntil([&] { return client->closed(); }, 2500, [&] { client->poll(); }))
        << "still open after " << inFrontFor.elapsed() << " ms";
    EXPECT_EQ(client->askedToClose(), GetParam());
}

INSTANTIATE_TEST_SUITE_P(WithAndWithoutTheDeleteProtocol, AForeignWindow, ::testing::Bool(),
                         [](const auto &info) {
                             return std::string(info.param ? "OffersDelete" : "WithoutDelete");
                         });

using WhenAsked = ForeignClient::Options::WhenAsked;

class AWindowThatStaysWhenAsked : public GuardOnX11, public ::testing::WithParamInterface<WhenAsked>
{};

TEST_P(AWindowThatStaysWhenAsked, IsGoneWithinTwoTicks)
{
    openLogon();
    auto client = frontWindow({.title = QStringLiteral("Deaf"),
                               .whenAsked = GetParam(),
                               .renameTo = QStringLiteral("System Logon")});
    QElapsedTimer inFrontFor;
    inFrontFor.start();
    EXPECT_TRUE(waitUntil([&] { return client->closed(); }, 4500, [&] { client->poll(); }))
        << "still open after " << inFrontFor.elapsed() << " ms";
    EXPECT_TRUE(client->askedToClose());
}

INSTANTIATE_TEST_SUITE_P(IgnoringOrRenaming, AWindowThatStaysWhenAsked,
                         ::testing::Values(WhenAsked::Ignore, WhenAsked::Rename),
                         [](const auto &info) {
                             return std::string(info.param == WhenAsked::Ignore ? "Ignoring"
                                                                                : "Renaming");
                         });

TEST_F(GuardOnX11, ClearsAPileOfWindowsInATickOrTwo)
{
    frmLogon &w = openLogon();
    w.Timer1->stop();
    std::vector<std::unique_ptr<ForeignClient>> pile;
    for (int i = 0; i < 6; ++i)
        pile.push_back(frontWindow({QStringLiteral("Pop-up %1").arg(i)}));

    // The other programs answer from a thread of their own while the tick holds this one.
    const auto tickWhileTheyAnswer = [&] {
        std::atomic<bool> stop = false;
        std::thread others([&] {
            while (!stop) {
                for (const auto &client : pile)
                    client->poll();
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
        });
        w.Timer1_Timer();
        stop = true;
        others.join();
    };
    const auto closed = [&] {
        int count = 0;
        for (const auto &client : pile)
            count += client->closed() ? 1 : 0;
        return count;
    };
    // Each window closed or removed sends the tick on to the next one (a window that is slow to
    // go on a busy machine is left to the next tick): two ticks clear more than two windows.
    tickWhileTheyAnswer();
    tickWhileTheyAnswer();
    EXPECT_GE(closed(), 3);
    w.Timer1->start();
    EXPECT_TRUE(waitUntil([&] { return closed() == 6 && inFront(w); }, 5000,
                          [&] {
                              for (const auto &client : pile)
                                  client->poll();
                          }))
        << closed() << " of 6 closed";
}

TEST_F(GuardOnX11, NeverRemovesTheProgramsOwnWindows)
{
    frmLogon &w = openLogon();
    w.Timer1->stop();
    // A window of the program that does not close when asked.
    class Unclosable : public QWidget
    {
    protected:
        void closeEvent(QCloseEvent *event) override { event->ignore(); }
    } own;
    own.setWindowTitle(QStringLiteral("Not On The List"));
    ASSERT_TRUE(X11Display::showInFront(*windows, own));
    for (int i = 0; i < 3; ++i) {
        w.Timer1_Timer();
        X11Display::spin(100);
    }
    EXPECT_TRUE(own.isVisible());
    EXPECT_TRUE(inFront(own));
}

struct FrontCase
{
    const char *title;
    bool leftAlone;
};

// Names the case by its title in the test list.
void PrintTo(const FrontCase &c, std::ostream *out)
{
    *out << '"' << c.title << (c.leftAlone ? "\" left alone" : "\" closed");
}

class TheWindowInFront : public GuardOnX11, public ::testing::WithParamInterface<FrontCase>
{};

TEST_P(TheWindowInFront, OfAnotherProgramIsClosedWhateverItsTitle)
{
    frmLogon &w = openLogon();
    auto client = frontWindow({QString::fromUtf8(GetParam().title)});
    w.Timer1_Timer();
    X11Display::spin(300, [&] { client->poll(); });
    EXPECT_EQ(client->askedToClose(), !GetParam().leftAlone);
    EXPECT_TRUE(w.Timer1->isActive());
}

INSTANTIATE_TEST_SUITE_P(
    Titles, TheWindowInFront,
    ::testing::Values(FrontCase{"System Logon", false}, FrontCase{"system logon", false},
                      FrontCase{"ſystem logon", false}, FrontCase{"System Informatıon", false},
                      FrontCase{"About TimoraDesk", false}, FrontCase{"Timora Desk", false},
                      FrontCase{"System Information", false}, FrontCase{"Desktop", false},
                      FrontCase{"System Logon and more", false}, FrontCase{"", false},
                      FrontCase{"TimoraDesk", false}));

TEST_F(GuardOnX11, AForeignWindowTitledSystemLogonDoesNotStayInFrontOfTheLogonWindow)
{
    frmLogon &w = openLogon();
    // A look-alike that ignores the request to close.
    auto lookalike =
        frontWindow({.title = QStringLiteral("System Logon"), .whenAsked = WhenAsked::Ignore});
    EXPECT_TRUE(waitUntil([&] { return lookalike->closed(); }, 4500, [&] { lookalike->poll(); }));
    EXPECT_TRUE(lookalike->askedToClose());
    EXPECT_TRUE(waitUntil([&] { return inFront(w); }, 3000));
}

TEST_F(GuardOnX11, AWindowWhoseProgramNamesTheLogonWindowAsActiveDoesNotStayInFront)
{
    frmLogon &w = openLogon();
    auto intruder =
        frontWindow({.title = QStringLiteral("Intruder"), .whenAsked = WhenAsked::Ignore});
    const auto logonId = static_cast<xcb_window_t>(w.winId());
    // It keeps telling everyone that the logon window is the active one.
    EXPECT_TRUE(waitUntil([&] { return intruder->closed(); }, 4500,
                          [&] {
                              intruder->nameActive(logonId);
                              intruder->poll();
                          }));
}

TEST_F(GuardOnX11, ADockOfAnotherProgramThatTakesTheFocusDoesNotStayInFront)
{
    openLogon();
    ForeignClient dock(
        X11Display::name(),
        {.title = QStringLiteral("panel"), .whenAsked = WhenAsked::Ignore, .dockType = true});
    dock.map();
    dock.takeFocus();
    EXPECT_TRUE(waitUntil([&] { return dock.closed(); }, 4500, [&] { dock.poll(); }));
}

TEST_F(GuardOnX11, ADockOfAnotherProgramDrawnOverTheLogonWindowIsRemoved)
{
    frmLogon &w = openLogon();
    const QRect frame = w.frameGeometry();
    ForeignClient over(X11Display::name(), {.title = QStringLiteral("System Logon"),
                                            .whenAsked = WhenAsked::Ignore,
                                            .dockType = true});
    over.place(frame.x(), frame.y(), frame.width(), frame.height());
    over.map();
    // A dock that lies beside the logon window and never takes the focus is left alone.
    ForeignClient beside(X11Display::name(), {.title = QStringLiteral("clock"), .dockType = true});
    beside.place(0, 0, 40, 20);
    if (frame.intersects(QRect(0, 0, 40, 20)))
        GTEST_SKIP() << "the logon window lies in the screen's corner";
    beside.map();
    EXPECT_TRUE(inFront(w));
    EXPECT_TRUE(waitUntil([&] { return over.closed(); }, 4500,
                          [&] {
                              over.poll();
                              beside.poll();
                          }));
    EXPECT_TRUE(over.askedToClose());
    X11Display::spin(2500, [&] { beside.poll(); });
    EXPECT_FALSE(beside.askedToClose());
    EXPECT_FALSE(beside.closed());
}

TEST_F(GuardOnX11, LeavesTheLogonWindowAndTheAboutWindowOpen)
{
    frmLogon &w = openLogon();
    w.Timer1_Timer();
    X11Display::spin(300);
    EXPECT_TRUE(flow().hasLogon());
    EXPECT_TRUE(w.isVisible());

    w.mnuAbout_Click();
    ASSERT_TRUE(flow().hasAbout());
    frmAbout &about = flow().about();
    ASSERT_TRUE(X11Display::showInFront(*windows, about));
    w.Timer1_Timer();
    X11Display::spin(300);
    EXPECT_TRUE(about.isVisible());
    EXPECT_FALSE(disablerLog.contains(QStringLiteral("shut-down requested")));
}

TEST_F(GuardOnX11, TheLogonWindowMinimisedByTheWindowManagerComesStraightBack)
{
    frmLogon &w = openLogon();
    disablerLog.clear();
    // What the minimise button of the window manager's title bar does.
    ASSERT_TRUE(
        X11Display::xdotool({QStringLiteral("windowminimize"), QString::number(w.winId())}));
    ASSERT_TRUE(waitUntil(
        [&] { return disablerLog.contains(QStringLiteral("switches off")) && inFront(w); }, 3000));
    EXPECT_FALSE(w.isMinimized());
    EXPECT_EQ(disablerLog.last(), QStringLiteral("switches on"));
    EXPECT_TRUE(w.txtUser->hasFocus());
}

TEST_F(GuardOnX11, TheDesktopWindowOfAnotherProgramInFrontIsClosedLikeAnyOther)
{
    // The desktop is there before the guard starts, and keeps its title when asked to close.
    ForeignClient desktop(X11Display::name(), {.title = QStringLiteral("Kiosk Wallpaper"),
                                               .desktopType = true,
                                               .whenAsked = WhenAsked::Ignore});
    desktop.map();
    ASSERT_TRUE(waitUntil([&] { return windows->desktopTitle().has_value(); }, 3000));
    FixedFront desktopInFront(*windows, desktop.window());
    services.windowSystem = &desktopInFront;
    frmLogon &w = openLogon();
    w.Timer1_Timer();
    EXPECT_TRUE(waitUntil([&] { return desktop.askedToClose(); }, 2000, [&] { desktop.poll(); }));
    w.Timer1_Timer();
    EXPECT_TRUE(waitUntil([&] { return desktop.closed(); }, 2000, [&] { desktop.poll(); }));
}

TEST_F(GuardOnX11, DismissesTheProgramsOwnMessageBox)
{
    QtMessageBoxes boxes;
    services.messages = &boxes;
    frmLogon &w = openLogon();
    // Should the guard fail, the box still goes, so that the test ends.
    QTimer safetyNet;
    safetyNet.setSingleShot(true);
    QObject::connect(&safetyNet, &QTimer::timeout, [] {
        if (QWidget *box = QApplication::activeModalWidget())
            box->close();
    });
    safetyNet.start(8000);

    QElapsedTimer shown;
    shown.start();
    logOnAs(QStringLiteral("nobody"), QStringLiteral("wrong"));
    const qint64 elapsed = shown.elapsed();

    EXPECT_TRUE(safetyNet.isActive()) << "the box was not dismissed by the guard";
    // A tick comes every 2 seconds; the box is closed by the first one after it appeared.
    EXPECT_LT(elapsed, 3000);
    EXPECT_TRUE(flow().hasLogon());
    EXPECT_TRUE(w.txtPassword->text().isEmpty());
}

TEST_F(GuardOnX11, AWindowInFrontThatIsAlreadyGoneIsSentNothingAndTheProgramGoesOn)
{
    xcb_window_t gone = XCB_WINDOW_NONE;
    {
        ForeignClient client(X11Display::name(), {QStringLiteral("Gone")});
        client.map();
        gone = client.window();
    }
    FixedFront vanished(*windows, gone);
    services.windowSystem = &vanished;
    frmLogon &w = openLogon();
    testing::internal::CaptureStderr();
    for (int i = 0; i < 10; ++i)
        w.Timer1_Timer();
    X11Display::spin(300);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), std::string());
    EXPECT_TRUE(w.Timer1->isActive());
    EXPECT_TRUE(flow().hasLogon());
}

TEST_F(GuardOnX11, NoTickRunsAfterASuccessfulLogon)
{
    frmLogon &w = openLogon();
    logOnAs(QStringLiteral("administrator"), QStringLiteral("quiverlantern"));
    ASSERT_FALSE(w.isVisible());
    auto client = frontWindow({QStringLiteral("Spreadsheet")});
    X11Display::spin(2500, [&] { client->poll(); });
    EXPECT_FALSE(client->askedToClose());
    EXPECT_FALSE(client->closed());
}

} // namespace
