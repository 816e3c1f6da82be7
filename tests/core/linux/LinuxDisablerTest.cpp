#include "core/linux/LinuxDisabler.h"
#include "FakePowerBackend.h"
#include "about/frmAbout.h"
#include "core/linux/X11WindowSystem.h"
#include "core/services/Services.h"
#include "core/services/SimulatedPowerBackend.h"
#include "logon/frmLogon.h"
#include "tests/support/FakeServices.h"
#include "tests/support/ForeignClient.h"
#include "tests/support/X11Display.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryFile>
#include <QThread>
#include <functional>
#include <xcb/screensaver.h>

namespace {

using X11Display::waitUntil;
using X11Display::xdotool;

constexpr std::uint32_t KeysymF2 = 0xffbf;

class DisablerOnX11 : public TimoraTest
{
protected:
    void SetUp() override
    {
        SKIP_WITHOUT_X11_DISPLAY();
        TimoraTest::SetUp();
        auto backend = std::make_unique<FakePowerBackend>();
        power = backend.get();
        disabler = std::make_unique<LinuxDisabler>(std::move(backend));
    }

    void TearDown() override
    {
        disabler.reset();
        TimoraTest::TearDown();
    }

    // Whether another program could take the keyboard now (it gives it back at once).
    static bool keyboardFree()
    {
        ForeignClient other(X11Display::name(), {QStringLiteral("other")});
        const bool taken = other.grabKeyboard();
        if (taken)
            other.ungrabKeyboard();
        return taken;
    }

    // Sends the keys with xdotool with the switches on, then off: none reaches the other program
    // while they are on, and once they are off its key presses come to what `arrived` expects.
    void expectKeysOnlyWithTheSwitchesOff(const QStringList &keys, ForeignClient &other,
                                          const std::function<bool(int)> &arrived)
    {
        const auto poll = [&] {
            other.poll();
        };
        disabler->setSwitches(true);
        ASSERT_TRUE(xdotool(keys));
        X11Display::spin(300, poll);
        EXPECT_EQ(other.keyPresses(), 0);

        disabler->setSwitches(false);
        ASSERT_TRUE(xdotool(keys));
        EXPECT_TRUE(waitUntil([&] { return arrived(other.keyPresses()); }, 2000, poll));
    }

    FakePowerBackend *power = nullptr;
    std::unique_ptr<LinuxDisabler> disabler;
};

TEST_F(DisablerOnX11, TheSwitchesTakeTheKeyboardFromOtherProgramsAndGiveItBack)
{
    ASSERT_TRUE(keyboardFree());
    disabler->setSwitches(true);
    EXPECT_TRUE(disabler->isActive(LinuxDisabler::KeyboardGrab));
    EXPECT_FALSE(keyboardFree());
    disabler->setSwitches(false);
    EXPECT_FALSE(disabler->isActive(LinuxDisabler::KeyboardGrab));
    EXPECT_TRUE(keyboardFree());
}

TEST_F(DisablerOnX11, AWindowManagerShortcutReachesNothingWhileTheSwitchesAreOn)
{
    ForeignClient windowManager(X11Display::name(), {QStringLiteral("shortcuts")});
    const xcb_keycode_t f2 = windowManager.keycodeOf(KeysymF2);
    ASSERT_NE(f2, 0);
    windowManager.grabShortcut(f2, XCB_MOD_MASK_1);
    expectKeysOnlyWithTheSwitchesOff({QStringLiteral("key"), QStringLiteral("alt+F2")},
                                     windowManager, [](int presses) { return presses > 0; });
}

TEST_F(DisablerOnX11, KeysTypedIntoAnotherProgramsWindowReachNothingWhileTheSwitchesAreOn)
{
    ForeignClient editor(X11Display::name(), {QStringLiteral("editor")});
    editor.map();
    editor.activate();
    xcb_set_input_focus(editor.connection(), XCB_INPUT_FOCUS_PARENT, editor.window(),
                        XCB_CURRENT_TIME);
    xcb_flush(editor.connection());
    X11Display::spin(200, [&] { editor.poll(); });
    expectKeysOnlyWithTheSwitchesOff({QStringLiteral("type"), QStringLiteral("abc")}, editor,
                                     [](int presses) { return presses == 3; });
}

TEST_F(DisablerOnX11, TheKeyboardMapHasNoConsoleSwitchOrZapWhileTheSwitchesAreOn)
{
    X11ServerKeys map;
    const int before = map.actionsInMap();
    ASSERT_GT(before, 0) << "the test display's keyboard map has no console-switch keys";
    disabler->setSwitches(true);
    EXPECT_TRUE(disabler->isActive(LinuxDisabler::ServerKeys));
    EXPECT_EQ(map.actionsInMap(), 0);
    // A second "on" (the logon window restored again) keeps them off.
    disabler->setSwitches(true);
    EXPECT_TRUE(disabler->isActive(LinuxDisabler::ServerKeys));
    EXPECT_EQ(map.actionsInMap(), 0);
    disabler->setSwitches(false);
    EXPECT_EQ(map.actionsInMap(), before);
}

TEST_F(DisablerOnX11, TurningOnWaitsForNoAnswerFromTheXServer)
{
    // Another program holds the X server: nothing it is asked is answered until it lets go.
    ForeignClient other(X11Display::name(), {QStringLiteral("server holder")});
    xcb_grab_server(other.connection());
    std::free(xcb_get_input_focus_reply(other.connection(), xcb_get_input_focus(other.connection()),
                                        nullptr));
    QElapsedTimer clock;
    clock.start();
    disabler->setSwitches(true);
    const qint64 took = clock.elapsed();
    xcb_ungrab_server(other.connection());
    xcb_flush(other.connection());
    EXPECT_LT(took, 500);
    EXPECT_TRUE(disabler->isActive(LinuxDisabler::KeyboardGrab));
    EXPECT_TRUE(disabler->isActive(LinuxDisabler::ServerKeys));
    EXPECT_TRUE(disabler->isActive(LinuxDisabler::ScreenSaver));
    EXPECT_FALSE(keyboardFree());
}

TEST_F(DisablerOnX11, ANewKeyboardMapLosesTheServersKeysAsSoonAsItIsLoaded)
{
    X11ServerKeys map;
    const int before = map.actionsInMap();
    disabler->setSwitches(true);
    ASSERT_TRUE(disabler->isActive(LinuxDisabler::ServerKeys));
    ASSERT_EQ(map.actionsInMap(), 0);
    // Loading a keyboard map, as plugging in a keyboard does, brings the actions back.
    ASSERT_TRUE(X11Display::run(QStringLiteral("setxkbmap"),
                                {QStringLiteral("-layout"), QStringLiteral("us")}));
    EXPECT_TRUE(waitUntil([&] { return map.actionsInMap() == 0; }, 1000));
    disabler->setSwitches(false);
    EXPECT_EQ(map.actionsInMap(), before);
}

TEST_F(DisablerOnX11, AMapLoadedWhileTheMapIsBeingReadIsReadAgain)
{
    X11ServerKeys keys;
    const int before = keys.actionsInMap();
    ASSERT_GT(before, 0);
    int changes = 0;
    keys.whenMapChanges([&] {
        ++changes;
        keys.requestTurnOff();
    });
    ASSERT_TRUE(keys.turnOff());
    X11Display::spin(200);
    // The read goes out and is answered with the map as it is now, before the answer is taken...
    ASSERT_TRUE(keys.requestTurnOff());
    QThread::msleep(100);
    // ...and then a new map brings the actions back and is announced while the read is on its way.
    const int seen = changes;
    ASSERT_TRUE(X11Display::run(QStringLiteral("setxkbmap"),
                                {QStringLiteral("-layout"), QStringLiteral("us")}));
    ASSERT_TRUE(waitUntil([&] { return changes > seen; }, 1000));
    EXPECT_TRUE(waitUntil([&] { return keys.poll() == X11ServerKeys::Progress::Done; }, 1000));
    EXPECT_EQ(keys.actionsInMap(), 0);
    EXPECT_TRUE(keys.turnOn());
    EXPECT_EQ(keys.actionsInMap(), before);
}

TEST_F(DisablerOnX11, AKeyboardThatSomeoneElseHoldsIsTakenWhenTheyLetGo)
{
    ForeignClient other(X11Display::name(), {QStringLiteral("holder")});
    ASSERT_TRUE(other.grabKeyboard());
    disabler->setSwitches(true);
    EXPECT_FALSE(disabler->isActive(LinuxDisabler::KeyboardGrab));
    other.ungrabKeyboard();
    EXPECT_TRUE(waitUntil([&] { return disabler->isActive(LinuxDisabler::KeyboardGrab); },
                          LinuxDisabler::RetryIntervalMs + 1000));
    EXPECT_FALSE(keyboardFree());
}

TEST_F(DisablerOnX11, AMenuOfTheProgramGivesTheKeyboardBackTheMomentItCloses)
{
    disabler->setSwitches(true);
    for (int round = 0; round < 3; ++round) {
        QMenu menu;
        menu.addAction(QStringLiteral("Copy"));
        menu.popup(QPoint(100, 100));
        ASSERT_TRUE(waitUntil([&] { return menu.isVisible(); }, 2000));
        menu.close();
        // Another program trying right after the menu closed finds the keyboard taken.
        EXPECT_FALSE(keyboardFree()) << "round " << round;
        X11Display::spin(50);
        EXPECT_FALSE(keyboardFree()) << "round " << round;
    }
    EXPECT_TRUE(disabler->isActive(LinuxDisabler::KeyboardGrab));
}

TEST_F(DisablerOnX11, AGrabThatCannotBeTakenBackIsReportedOnceAndTriedAgainAtOnce)
{
    // Another program holds the keyboard when a menu of the program closes.
    ForeignClient other(X11Display::name(), {QStringLiteral("holder")});
    ASSERT_TRUE(other.grabKeyboard());
    disabler->setSwitches(true);
    testing::internal::CaptureStderr();
    {
        QMenu menu;
        menu.addAction(QStringLiteral("Copy"));
        menu.popup(QPoint(100, 100));
        ASSERT_TRUE(waitUntil([&] { return menu.isVisible(); }, 2000));
        menu.close();
    }
    X11Display::spin(100);
    other.ungrabKeyboard();
    // Well before the next regular check of the switches.
    EXPECT_TRUE(waitUntil([&] { return !keyboardFree(); }, 500));
    EXPECT_TRUE(disabler->isActive(LinuxDisabler::KeyboardGrab));
    X11Display::spin(100);
    EXPECT_EQ(QString::fromStdString(testing::internal::GetCapturedStderr()),
              QStringLiteral("TimoraDesk: another program holds the keyboard (another program "
                             "holds the keyboard); the logon takes no input until the keyboard "
                             "is free\nTimoraDesk: the keyboard is free again\n"));
}

TEST_F(DisablerOnX11, TheScreenSaverStaysOffWhileTheSwitchesAreOn)
{
    ForeignClient probe(X11Display::name(), {QStringLiteral("probe")});
    xcb_connection_t *c = probe.connection();
    xcb_get_screen_saver_reply_t *saved =
        xcb_get_screen_saver_reply(c, xcb_get_screen_saver(c), nullptr);
    ASSERT_NE(saved, nullptr);
    auto state = [&] {
        xcb_screensaver_query_info_reply_t *info = xcb_screensaver_query_info_reply(
            c, xcb_screensaver_query_info(c, probe.root()), nullptr);
        const int s = info ? info->state : -1;
        std::free(info);
        return s;
    };
    // A screen saver that starts after one idle second.
    xcb_set_screen_saver(c, 1, 0, XCB_BLANKING_PREFERRED, XCB_EXPOSURES_DEFAULT);
    xcb_force_screen_saver(c, XCB_SCREEN_SAVER_RESET);
    xcb_flush(c);

    disabler->setSwitches(true);
    EXPECT_TRUE(disabler->isActive(LinuxDisabler::ScreenSaver));
    X11Display::spin(2500);
    EXPECT_NE(state(), XCB_SCREENSAVER_STATE_ON);

    disabler->setSwitches(false);
    EXPECT_TRUE(waitUntil([&] { return state() == XCB_SCREENSAVER_STATE_ON; }, 4000));

    xcb_set_screen_saver(c, saved->timeout, saved->interval, saved->prefer_blanking,
                         saved->allow_exposures);
    xcb_force_screen_saver(c, XCB_SCREEN_SAVER_RESET);
    xcb_flush(c);
    std::free(saved);
}

TEST_F(DisablerOnX11, ThePowerKeysAndSleepAreHeldWhileTheSwitchesAreOn)
{
    disabler->setSwitches(true);
    EXPECT_TRUE(disabler->isActive(LinuxDisabler::PowerKeys));
    EXPECT_TRUE(disabler->isActive(LinuxDisabler::Sleep));
    disabler->setSwitches(false);
    EXPECT_FALSE(power->held[0]);
    EXPECT_FALSE(power->held[1]);
}

TEST_F(DisablerOnX11, AMissingPowerManagerIsReportedOnceAndEverythingElseGoesOn)
{
    power->refuse = true;
    testing::internal::CaptureStderr();
    for (int i = 0; i < 3; ++i) {
        disabler->setSwitches(true);
        EXPECT_TRUE(disabler->isActive(LinuxDisabler::KeyboardGrab));
        EXPECT_TRUE(disabler->isActive(LinuxDisabler::ServerKeys));
        EXPECT_TRUE(disabler->isActive(LinuxDisabler::ScreenSaver));
        EXPECT_FALSE(disabler->isActive(LinuxDisabler::PowerKeys));
        disabler->setSwitches(false);
    }
    EXPECT_EQ(QString::fromStdString(testing::internal::GetCapturedStderr()),
              QStringLiteral("TimoraDesk: holding the power keys and the lid switch is not "
                             "available (logind is not running); going on without it\n"
                             "TimoraDesk: holding off sleep is not available (logind is not "
                             "running); going on without it\n"));
}

TEST_F(DisablerOnX11, AFailedRestartOrShutDownIsWrittenOnStandardError)
{
    power->refuse = true;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(disabler->restart());
    EXPECT_FALSE(disabler->shutDown());
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "TimoraDesk: the restart failed: logind is not running\n"
              "TimoraDesk: the shut-down failed: logind is not running\n");
    EXPECT_EQ(power->log, (QStringList{QStringLiteral("reboot"), QStringLiteral("power off")}));
}

TEST_F(DisablerOnX11, UndoesEverythingWhenItEnds)
{
    X11ServerKeys map;
    const int before = map.actionsInMap();
    disabler->setSwitches(true);
    disabler.reset();
    EXPECT_EQ(map.actionsInMap(), before);
    EXPECT_TRUE(keyboardFree());
}

TEST_F(DisablerOnX11, TheSimulatedBuildSaysOneLineForEveryCall)
{
    QTemporaryFile log;
    ASSERT_TRUE(log.open());
    std::FILE *out = std::fopen(qPrintable(log.fileName()), "w");
    ASSERT_NE(out, nullptr);
    {
        LinuxDisabler simulated(std::make_unique<SimulatedPowerBackend>(out), out);
        simulated.setSwitches(true);
        simulated.setSwitches(false);
        simulated.restart();
        simulated.shutDown();
    }
    std::fclose(out);
    EXPECT_EQ(log.readAll(), "switches on\nswitches off\nrestart requested\nshut-down requested\n");
}

// The logon window with the real switches.
class LogonWithSwitches : public DisablerOnX11
{
protected:
    void SetUp() override
    {
        DisablerOnX11::SetUp();
        if (IsSkipped())
            return;
        windows = std::make_unique<X11WindowSystem>(X11Display::name());
        services.windowSystem = windows.get();
        services.makeDisabler = [this]() -> std::unique_ptr<Disabler> {
            auto backend = std::make_unique<FakePowerBackend>();
            logonPower = backend.get();
            auto *out = std::tmpfile();
            announced = out;
            return std::make_unique<LinuxDisabler>(std::move(backend), out);
        };
    }

    void TearDown() override
    {
        TimoraTest::TearDown();
        windows.reset();
        if (announced)
            std::fclose(announced);
        disabler.reset();
    }

    frmLogon &openLogon()
    {
        frmLogon &w = flow().logon();
        EXPECT_TRUE(X11Display::showInFront(*windows, w));
        // The switches come on with the window's first frame.
        EXPECT_TRUE(waitUntil([&] { return w.Disable1 && w.Disable1->switches(); }, 1000));
        return w;
    }

    QString announcedLines() const
    {
        std::fflush(announced);
        std::rewind(announced);
        QByteArray text;
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, announced))
            text += buffer;
        return QString::fromUtf8(text);
    }

    std::unique_ptr<X11WindowSystem> windows;
    FakePowerBackend *logonPower = nullptr;
    std::FILE *announced = nullptr;
};

TEST_F(LogonWithSwitches, TypingIntoTheLogonWindowStillWorksWhileOtherProgramsGetNoKeys)
{
    frmLogon &w = openLogon();
    ASSERT_TRUE(w.Disable1->switches());
    EXPECT_FALSE(keyboardFree());
    w.txtUser->setFocus();
    ASSERT_TRUE(xdotool({QStringLiteral("type"), QStringLiteral("kid")}));
    ASSERT_TRUE(xdotool({QStringLiteral("key"), QStringLiteral("Tab")}));
    ASSERT_TRUE(xdotool({QStringLiteral("type"), QStringLiteral("secret")}));
    EXPECT_TRUE(waitUntil([&] { return w.txtPassword->text() == QStringLiteral("secret"); }, 3000))
        << qPrintable(w.txtPassword->text());
    EXPECT_EQ(w.txtUser->text(), QStringLiteral("kid"));
}

TEST_F(LogonWithSwitches, AKeyboardHeldByAnotherProgramIsReportedOnceAndTheLogonTakesNothing)
{
    // Another program holds the keyboard before the logon window comes up.
    ForeignClient holder(X11Display::name(), {QStringLiteral("holder")});
    ASSERT_TRUE(holder.grabKeyboard());
    testing::internal::CaptureStderr();
    frmLogon &w = openLogon();
    ASSERT_TRUE(waitUntil([&] { return w.Disable1->keyboardTaken(); }, 2000));
    EXPECT_FALSE(w.txtUser->isEnabled());
    EXPECT_FALSE(w.txtPassword->isEnabled());
    EXPECT_FALSE(w.cmdLogOn->isEnabled());
    EXPECT_FALSE(w.txtUser->placeholderText().isEmpty());
    // A logon asked for all the same is not taken.
    w.txtUser->setText(QStringLiteral("administrator"));
    w.txtPassword->setText(QStringLiteral("quiverlantern"));
    w.cmdLogOn_Click();
    EXPECT_FALSE(flow().hasAdmin());
    EXPECT_TRUE(w.isVisible());

    // Tried again every 2 seconds, said once.
    X11Display::spin(4500);
    EXPECT_TRUE(w.Disable1->keyboardTaken());
    holder.ungrabKeyboard();
    EXPECT_TRUE(waitUntil([&] { return !w.Disable1->keyboardTaken(); }, 3000));
    EXPECT_TRUE(w.txtUser->isEnabled());
    EXPECT_TRUE(w.txtUser->placeholderText().isEmpty());
    EXPECT_FALSE(keyboardFree());
    EXPECT_EQ(QString::fromStdString(testing::internal::GetCapturedStderr()),
              QStringLiteral("TimoraDesk: another program holds the keyboard (another program "
                             "holds the keyboard); the logon takes no input until the keyboard "
                             "is free\nTimoraDesk: the keyboard is free again\n"));
}

TEST_F(LogonWithSwitches, NoKeyIsLostWhileTheSwitchesCheckTheGrab)
{
    frmLogon &w = openLogon();
    w.txtUser->setFocus();
    // Typed for longer than the switches take between two checks of the keyboard grab.
    const QString name = QStringLiteral("abcdefghijklmnopqrstuvwxyz").repeated(14);
    ASSERT_TRUE(
        xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("15"), name}));
    EXPECT_TRUE(waitUntil([&] { return w.txtUser->text() == name; }, 5000))
        << w.txtUser->text().size() << " of " << name.size() << " characters arrived";
}

TEST_F(LogonWithSwitches, TheLogonWindowStaysActiveWhenTheKeyboardIsTakenWhileItHasTheFocus)
{
    frmLogon &w = openLogon();
    ASSERT_TRUE(waitUntil([&] { return QApplication::activeWindow() == &w; }, 3000));
    // As when the window comes back from the administrator window: the grab is taken while
    // the window has the keyboard focus.
    w.Disable1->setSwitches(false);
    w.Disable1->setSwitches(true);
    X11Display::spin(1000);
    EXPECT_EQ(QApplication::activeWindow(), &w);
    // Its menu mnemonics still work.
    ASSERT_TRUE(xdotool({QStringLiteral("key"), QStringLiteral("alt+a")}));
    EXPECT_TRUE(waitUntil([&] { return flow().hasAbout() && flow().about().isVisible(); }, 3000));
}

TEST_F(LogonWithSwitches, TheTextBoxesOfferNoContextMenu)
{
    frmLogon &w = openLogon();
    for (QLineEdit *box : {w.txtUser, w.txtPassword}) {
        box->setFocus();
        ASSERT_TRUE(waitUntil([&] { return box->hasFocus(); }, 2000));
        ASSERT_TRUE(xdotool({QStringLiteral("key"), QStringLiteral("Menu")}));
        const QPoint centre = box->mapToGlobal(box->rect().center());
        ASSERT_TRUE(
            xdotool({QStringLiteral("mousemove"), QString::number(centre.x()),
                     QString::number(centre.y()), QStringLiteral("click"), QStringLiteral("3")}));
        X11Display::spin(300);
        QWidget *popup = QApplication::activePopupWidget();
        EXPECT_EQ(popup, nullptr) << qPrintable(box->objectName());
        if (popup)
            popup->close();
        EXPECT_FALSE(keyboardFree());
    }
}

TEST_F(LogonWithSwitches, TheAboutWindowGetsItsKeysToo)
{
    frmLogon &w = openLogon();
    w.mnuAbout_Click();
    ASSERT_TRUE(flow().hasAbout());
    frmAbout &about = flow().about();
    ASSERT_TRUE(X11Display::showInFront(*windows, about));
    ASSERT_FALSE(keyboardFree());
    // Esc presses the About window's OK, which closes it.
    ASSERT_TRUE(xdotool({QStringLiteral("key"), QStringLiteral("Escape")}));
    EXPECT_TRUE(waitUntil([&] { return !flow().hasAbout() || !about.isVisible(); }, 3000));
}

TEST_F(LogonWithSwitches, ExitTurnsTheSwitchesOffAndAsksForTheShutDown)
{
    X11ServerKeys map;
    const int before = map.actionsInMap();
    frmLogon &w = openLogon();
    ASSERT_TRUE(waitUntil([&] { return map.actionsInMap() == 0; }, 2000));
    ASSERT_FALSE(keyboardFree());

    w.cmdExit->trigger();

    EXPECT_FALSE(flow().hasLogon());
    EXPECT_EQ(announcedLines(), QStringLiteral("switches on\nswitches off\n"));
    EXPECT_EQ(logonPower->log.last(), QStringLiteral("power off"));
    EXPECT_EQ(map.actionsInMap(), before);
    EXPECT_TRUE(keyboardFree());
    EXPECT_FALSE(logonPower->held[0]);
}

} // namespace
