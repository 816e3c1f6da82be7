#include "core/services/ForegroundGuard.h"
#include "core/services/Services.h"
#include "logon/frmLogon.h"
#include "tests/logon/FakeWindowSystem.h"
#include "tests/support/FakeServices.h"

#include <QLineEdit>
#include <QTest>
#include <QTimer>

namespace {

struct TitleCase
{
    const char *title;
    bool leftAlone;
};

// Names the case by its title in the test list.
void PrintTo(const TitleCase &c, std::ostream *out)
{
    *out << '"' << c.title << (c.leftAlone ? "\" left alone" : "\" closed");
}

// The guard over a desktop made of titles.
class TheGuard : public ::testing::Test
{
protected:
    // Puts a window in front that stays when it is asked to close.
    WindowSystem::WindowId stubbornInFront(const QString &title)
    {
        const WindowSystem::WindowId window = desktop.bringToFront(title);
        desktop.stubborn.insert(window);
        return window;
    }

    FakeWindowSystem desktop;
    ForegroundGuard guard{desktop};
};

class TheGuardRule : public TheGuard, public ::testing::WithParamInterface<TitleCase>
{};

TEST_P(TheGuardRule, ComparesTheWholeUpperCasedTitleOfTheProgramsOwnWindow)
{
    const WindowSystem::WindowId window =
        desktop.bringToFront(QString::fromUtf8(GetParam().title), WindowSystem::Maker::Program);
    guard.tick();
    if (GetParam().leftAlone)
        EXPECT_TRUE(desktop.closeRequests.isEmpty());
    else
        EXPECT_EQ(desktop.closeRequests, QList<WindowSystem::WindowId>{window});
}

INSTANTIATE_TEST_SUITE_P(
    Titles, TheGuardRule,
    ::testing::Values(
        // The allowed windows, in any mix of case.
        TitleCase{"System Logon", true}, TitleCase{"SYSTEM LOGON", true},
        TitleCase{"system logon", true}, TitleCase{"sYsTeM lOgOn", true},
        TitleCase{"Desktop", true}, TitleCase{"Timora Desk", true},
        TitleCase{"About TimoraDesk", true}, TitleCase{"about timoradesk", true},
        TitleCase{"System Information", true},
        // The program's own message boxes carry the one-word title, which is not allowed.
        TitleCase{"TimoraDesk", false},
        // Only the whole title counts.
        TitleCase{"System Logon and more", false}, TitleCase{" System Logon", false},
        TitleCase{"System Logon ", false}, TitleCase{"Logon", false},
        TitleCase{"About TimoraDesk - Mozilla Firefox", false},
        TitleCase{"Microsoft System Information", false}, TitleCase{"Program Manager", false},
        // Anything else, an untitled window included.
        TitleCase{"", false}, TitleCase{"xterm", false}, TitleCase{"Süßes Fenster", false},
        // Letters that other case rules turn into the letters of an allowed title.
        TitleCase{"ſystem logon", false}, TitleCase{"System Informatıon", false},
        TitleCase{"about timoradeſk", false}, TitleCase{"Timora Deſk", false}));

TEST_F(TheGuard, TestsTheAllowedTitlesInTheirOrder)
{
    EXPECT_EQ(guard.allowedTitles(),
              (QStringList{QStringLiteral("SYSTEM LOGON"), QStringLiteral("DESKTOP"),
                           QStringLiteral("TIMORA DESK"), QStringLiteral("ABOUT TIMORADESK"),
                           QStringLiteral("SYSTEM INFORMATION")}));
}

TEST_F(TheGuard, TakesTheDesktopsTitleAsItWasWhenTheGuardStarted)
{
    desktop.desktop = QStringLiteral("Kiosk Wallpaper");
    ForegroundGuard started(desktop);
    EXPECT_EQ(started.allowedTitles().at(1), QStringLiteral("KIOSK WALLPAPER"));

    desktop.desktop = QStringLiteral("Renamed Later");
    desktop.bringToFront(QStringLiteral("kiosk wallpaper"), WindowSystem::Maker::Program);
    started.tick();
    EXPECT_TRUE(desktop.closeRequests.isEmpty());
    // "Desktop" only stands in when there is no desktop window.
    const auto other =
        desktop.bringToFront(QStringLiteral("Desktop"), WindowSystem::Maker::Program);
    started.tick();
    EXPECT_EQ(desktop.closeRequests, QList<WindowSystem::WindowId>{other});
}

TEST_F(TheGuard, TheDesktopWindowOfAnotherProgramIsClosedLikeAnyOther)
{
    desktop.desktop = QStringLiteral("Kiosk Wallpaper");
    ForegroundGuard started(desktop);
    const auto wallpaper = desktop.bringToFront(QStringLiteral("Kiosk Wallpaper"));
    started.tick();
    EXPECT_EQ(desktop.closeRequests, QList<WindowSystem::WindowId>{wallpaper});
}

struct MakerCase
{
    const char *title;
    WindowSystem::Maker maker;
    bool leftAlone;
};

void PrintTo(const MakerCase &c, std::ostream *out)
{
    static const char *const makers[] = {"the program", "a started program", "another program"};
    *out << '"' << c.title << "\" of " << makers[static_cast<int>(c.maker)]
         << (c.leftAlone ? " left alone" : " closed");
}

class TheGuardsTitles : public TheGuard, public ::testing::WithParamInterface<MakerCase>
{};

TEST_P(TheGuardsTitles, HoldOnlyForTheWindowsTheyStandFor)
{
    desktop.bringToFront(QString::fromUtf8(GetParam().title), GetParam().maker);
    guard.tick();
    EXPECT_EQ(desktop.closeRequests.isEmpty(), GetParam().leftAlone);
}

using Maker = WindowSystem::Maker;

INSTANTIATE_TEST_SUITE_P(
    Makers, TheGuardsTitles,
    ::testing::Values(MakerCase{"System Logon", Maker::Other, false},
                      MakerCase{"Timora Desk", Maker::Other, false},
                      MakerCase{"About TimoraDesk", Maker::Other, false},
                      MakerCase{"Desktop", Maker::Other, false},
                      MakerCase{"System Information", Maker::Other, false},
                      MakerCase{"System Information", Maker::StartedProgram, true},
                      MakerCase{"system information", Maker::StartedProgram, true},
                      MakerCase{"System Logon", Maker::StartedProgram, false},
                      MakerCase{"About TimoraDesk", Maker::StartedProgram, false},
                      MakerCase{"xterm", Maker::StartedProgram, false}));

TEST_F(TheGuard, ClosesWhatCoversTheGuardedWindowAndRemovesItAtTheNextTick)
{
    const auto logon = desktop.bringToFront(QStringLiteral("System Logon"), Maker::Program);
    // Windows that never take the focus: one over the logon window, one beside it.
    const auto lookalike = desktop.bringToFront(QStringLiteral("System Logon"));
    const auto sysinfo =
        desktop.bringToFront(QStringLiteral("System Information"), Maker::StartedProgram);
    desktop.bringToFront(QStringLiteral("clock"));
    desktop.stubborn.insert(lookalike);
    desktop.foreground = logon;
    desktop.covering = {lookalike, sysinfo};

    // Nothing is guarded before the window is named.
    guard.tick();
    EXPECT_TRUE(desktop.closeRequests.isEmpty());

    guard.guard(logon);
    EXPECT_TRUE(guard.tick());
    EXPECT_EQ(desktop.coveringAskedFor.last(), logon);
    EXPECT_EQ(desktop.closeRequests, QList<WindowSystem::WindowId>{lookalike});
    EXPECT_TRUE(guard.tick());
    EXPECT_EQ(desktop.removals, QList<WindowSystem::WindowId>{lookalike});
    EXPECT_FALSE(guard.tick());
    EXPECT_EQ(desktop.closeRequests.size(), 1);
}

TEST_F(TheGuard, AnUntitledDesktopDoesNotLetUntitledWindowsThrough)
{
    desktop.desktop = QString();
    ForegroundGuard started(desktop);
    EXPECT_EQ(started.allowedTitles().at(1), QStringLiteral("DESKTOP"));
    const auto untitled = desktop.bringToFront(QString());
    started.tick();
    EXPECT_EQ(desktop.closeRequests, QList<WindowSystem::WindowId>{untitled});
}

TEST_F(TheGuard, SendsNothingWhenNoWindowIsInFrontOrItHasJustGone)
{
    EXPECT_FALSE(guard.tick());

    const auto gone = desktop.bringToFront(QStringLiteral("xterm"));
    desktop.titles.remove(gone);
    EXPECT_FALSE(guard.tick());
    EXPECT_TRUE(desktop.closeRequests.isEmpty());
}

TEST_F(TheGuard, UpperCasesOnlyTheAsciiLetters)
{
    EXPECT_EQ(ForegroundGuard::asciiUpper(QStringLiteral("about ſ ı é ß z{")),
              QStringLiteral("ABOUT ſ ı é ß Z{"));
    desktop.desktop = QStringLiteral("ſchreibtisch");
    EXPECT_EQ(ForegroundGuard(desktop).allowedTitles().at(1), QStringLiteral("ſCHREIBTISCH"));
}

TEST_F(TheGuard, RemovesAWindowStillInFrontAtTheNextTickAfterItWasAsked)
{
    const auto logon =
        desktop.bringToFront(QStringLiteral("System Logon"), WindowSystem::Maker::Program);
    const auto stubborn = stubbornInFront(QStringLiteral("Stubborn"));

    EXPECT_TRUE(guard.tick());
    // Asked once; while it stays in front during this tick it is not asked again.
    EXPECT_EQ(desktop.closeRequests, QList<WindowSystem::WindowId>{stubborn});
    EXPECT_TRUE(desktop.removals.isEmpty());

    EXPECT_TRUE(guard.tick());
    EXPECT_EQ(desktop.removals, QList<WindowSystem::WindowId>{stubborn});
    EXPECT_EQ(desktop.closeRequests.size(), 1);
    EXPECT_EQ(desktop.foreground, logon);
}

TEST_F(TheGuard, RemovesAWindowThatTakesAnAllowedTitleWhenAskedToClose)
{
    const auto renamer = stubbornInFront(QStringLiteral("Not Suspicious"));
    desktop.whenAsked[renamer] = [&] {
        desktop.titles[renamer] = QStringLiteral("System Logon");
    };
    guard.tick();
    guard.tick();
    EXPECT_EQ(desktop.removals, QList<WindowSystem::WindowId>{renamer});
}

TEST_F(TheGuard, AsksAgainAWindowItMayNotRemove)
{
    const auto panel = stubbornInFront(QStringLiteral("panel"));
    desktop.protectedWindows.insert(panel);
    for (int i = 0; i < 3; ++i)
        guard.tick();
    EXPECT_EQ(desktop.closeRequests, QList<WindowSystem::WindowId>(3, panel));
    EXPECT_TRUE(desktop.removals.isEmpty());
}

TEST_F(TheGuard, ClearsAPileOfWindowsInOneTick)
{
    const auto logon =
        desktop.bringToFront(QStringLiteral("System Logon"), WindowSystem::Maker::Program);
    QList<WindowSystem::WindowId> pile;
    for (int i = 0; i < 15; ++i)
        pile.prepend(desktop.bringToFront(QStringLiteral("Pop-up %1").arg(i)));
    // One of them ignores the request and is removed at the next tick, with the rest behind it
    // cleared in the same tick.
    const auto stubborn = pile.at(7);
    desktop.stubborn.insert(stubborn);

    guard.tick();
    EXPECT_EQ(desktop.closeRequests, pile.mid(0, 8));
    guard.tick();
    EXPECT_EQ(desktop.removals, QList<WindowSystem::WindowId>{stubborn});
    EXPECT_EQ(desktop.closeRequests, pile);
    EXPECT_EQ(desktop.foreground, logon);
}

TEST_F(TheGuard, AWindowAskedEarlierIsNotRemovedWithoutAskingAfterATickWithoutIt)
{
    const auto window = stubbornInFront(QStringLiteral("Editor"));
    guard.tick();
    // Something allowed comes in front for one tick, then the window again.
    desktop.foreground =
        desktop.bringToFront(QStringLiteral("About TimoraDesk"), WindowSystem::Maker::Program);
    guard.tick();
    desktop.foreground = window;
    guard.tick();
    EXPECT_EQ(desktop.closeRequests, QList<WindowSystem::WindowId>(2, window));
    EXPECT_TRUE(desktop.removals.isEmpty());
}

class GuardTick : public TimoraTest
{
protected:
    void SetUp() override
    {
        TimoraTest::SetUp();
        services.windowSystem = &desktop;
    }
    FakeWindowSystem desktop;
};

TEST_F(GuardTick, TheTimerIsOffWhileTheTickLooksAndRunsAgainAfterIt)
{
    frmLogon &w = flow().logon();
    w.show();
    bool activeDuringLook = true;
    desktop.whileLooking = [&] {
        activeDuringLook = w.Timer1->isActive();
    };
    const auto editor = desktop.bringToFront(QStringLiteral("Text Editor"));

    w.Timer1_Timer();

    EXPECT_FALSE(activeDuringLook);
    EXPECT_EQ(desktop.closeRequests, QList<WindowSystem::WindowId>{editor});
    EXPECT_TRUE(w.Timer1->isActive());
    EXPECT_EQ(w.Timer1->interval(), 2000);
}

TEST_F(GuardTick, LeavesTheLogonWindowAndTheAboutWindowAlone)
{
    frmLogon &w = flow().logon();
    w.show();
    desktop.bringToFront(w.windowTitle(), WindowSystem::Maker::Program);
    w.Timer1_Timer();
    desktop.bringToFront(QStringLiteral("About TimoraDesk"), WindowSystem::Maker::Program);
    w.Timer1_Timer();
    EXPECT_TRUE(desktop.closeRequests.isEmpty());
    EXPECT_TRUE(flow().hasLogon());
}

TEST_F(GuardTick, GuardsTheLogonWindowAgainstWhatCoversItWhileItIsShown)
{
    frmLogon &w = flow().logon();
    w.Timer1_Timer();
    EXPECT_EQ(desktop.coveringAskedFor, QList<WindowSystem::WindowId>{});
    w.show();
    const auto cover = desktop.bringToFront(QStringLiteral("cover"));
    desktop.foreground = WindowSystem::NoWindow;
    desktop.covering = {cover};
    w.Timer1_Timer();
    ASSERT_FALSE(desktop.coveringAskedFor.isEmpty());
    EXPECT_EQ(desktop.coveringAskedFor.last(), w.internalWinId());
    EXPECT_EQ(desktop.closeRequests, QList<WindowSystem::WindowId>{cover});
}

TEST_F(GuardTick, ANewWindowSystemGetsAGuardOfItsOwn)
{
    frmLogon &w = flow().logon();
    w.Timer1_Timer();
    FakeWindowSystem other;
    const auto intruder = other.bringToFront(QStringLiteral("intruder"));
    services.windowSystem = &other;
    w.Timer1_Timer();
    EXPECT_EQ(other.closeRequests, QList<WindowSystem::WindowId>{intruder});
}

TEST_F(GuardTick, WithoutAWindowSystemTheTickOnlyRunsTheTimerAgain)
{
    services.windowSystem = nullptr;
    frmLogon &w = flow().logon();
    w.Timer1->stop();
    w.Timer1_Timer();
    EXPECT_TRUE(w.Timer1->isActive());
}

TEST_F(GuardTick, NoTickLooksAfterASuccessfulLogon)
{
    frmLogon &w = flow().logon();
    w.show();
    int looks = 0;
    desktop.whileLooking = [&] {
        ++looks;
    };
    logOnAs(QStringLiteral("administrator"), QStringLiteral("quiverlantern"));
    ASSERT_FALSE(w.isVisible());
    // Far longer than the guard's interval, in test time.
    w.Timer1->setInterval(10);
    QTest::qWait(100);
    EXPECT_EQ(looks, 0);
}

} // namespace
