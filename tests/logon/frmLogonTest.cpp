#include "logon/frmLogon.h"
#include "about/frmAbout.h"
#include "admin/frmAdmin.h"
#include "core/rules/AccountTable.h"
#include "core/rules/DateText.h"
#include "core/services/Services.h"
#include "core/widgets/FirstFrame.h"
#include "session/frmActive.h"
#include "tests/support/FakeServices.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace {

class LogonWindow : public TimoraTest
{
protected:
    frmLogon &open()
    {
        frmLogon &w = flow().logon();
        w.show();
        w.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&w));
        return w;
    }

    bool sessionShown() { return flow().hasSession() && flow().session().isVisible(); }
    bool adminShown() { return flow().hasAdmin() && flow().admin().isVisible(); }
};

TEST_F(LogonWindow, ShowsItsCaptionControlsAndToolTips)
{
    frmLogon &w = open();
    EXPECT_EQ(w.windowTitle(), QStringLiteral("System Logon"));
    EXPECT_EQ(w.cmdLogOn->text(), QStringLiteral("&Log On"));
    EXPECT_FALSE(w.cmdLogOn->isDefault());
    EXPECT_EQ(w.txtUser->toolTip(), QStringLiteral("Enter your UserId"));
    EXPECT_EQ(w.txtPassword->toolTip(),
              QStringLiteral("Enter your password (It will not be shown)"));
    EXPECT_EQ(w.mnuAbout->text(), QStringLiteral("&About"));
    EXPECT_EQ(w.cmdExit->text(), QStringLiteral("E&xit"));
    EXPECT_EQ(w.Timer1->interval(), 2000);
    EXPECT_TRUE(w.Timer1->isActive());
    // Tab order: user, password, button.
    EXPECT_EQ(w.txtUser->nextInFocusChain(), w.txtPassword);
}

// A typed password shows nowhere: not in the box (enabled, greyed out during the wait after a
// refusal, or with its text selected), not on the clipboard or the X selection, and not to
// accessibility tools.
TEST_F(LogonWindow, ATypedPasswordCannotBeSeenCopiedOrReadBack)
{
    frmLogon &w = open();
    w.txtUser->setFocus();
    const QImage emptyBox = w.txtPassword->grab().toImage();
    const QImage emptyGreyBox = [&] {
        w.txtPassword->setEnabled(false);
        const QImage image = w.txtPassword->grab().toImage();
        w.txtPassword->setEnabled(true);
        return image;
    }();

    QTest::keyClicks(w.txtPassword, QStringLiteral("Secret7"));
    ASSERT_EQ(w.txtPassword->text(), QStringLiteral("Secret7"));
    w.txtUser->setFocus();
    EXPECT_EQ(w.txtPassword->grab().toImage(), emptyBox);
    w.txtPassword->setEnabled(false);
    EXPECT_EQ(w.txtPassword->grab().toImage(), emptyGreyBox);
    w.txtPassword->setEnabled(true);

    QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    QGuiApplication::clipboard()->setText(QStringLiteral("before"), QClipboard::Selection);
    w.txtPassword->setFocus();
    w.txtPassword->selectAll();
    w.txtPassword->copy();
    QTest::keyClick(w.txtPassword, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("before"));
    if (QGuiApplication::clipboard()->supportsSelection()) {
        EXPECT_EQ(QGuiApplication::clipboard()->text(QClipboard::Selection),
                  QStringLiteral("before"));
    }
    EXPECT_TRUE(w.txtPassword->displayText().isEmpty());

    QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(w.txtPassword);
    ASSERT_NE(accessible, nullptr);
    EXPECT_FALSE(accessible->text(QAccessible::Value).contains(QStringLiteral("Secret7")));
    if (QAccessibleTextInterface *text = accessible->textInterface()) {
        EXPECT_FALSE(text->text(0, text->characterCount()).contains(QStringLiteral("Secret7")));
    }
}

TEST_F(LogonWindow, FirstShowingFocusesTheUserBoxAndTurnsTheSwitchesOnWithTheFirstFrame)
{
    frmLogon &w = open();
    EXPECT_TRUE(w.txtUser->hasFocus());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !disablerLog.isEmpty(); }, 1000));
    QTest::qWait(FirstFrame::DefaultFallbackMs + 100);
    EXPECT_EQ(disablerLog, QStringList{QStringLiteral("switches on")});
}

TEST_F(LogonWindow, ALogonBeforeTheFirstFrameLeavesTheSwitchesAsTheSessionSetsThem)
{
    storeAccount(1, QStringLiteral("ADMINISTRATOR"), QStringLiteral("SECRET"), -1,
                 QStringLiteral("1/1/2026"), -1);
    storeAccount(2, QStringLiteral("KID"), QStringLiteral("PW"), 60, QStringLiteral("1/1/2026"),
                 60);
    frmLogon &w = flow().logon();
    w.show();
    logOnAs(QStringLiteral("KID"), QStringLiteral("PW"));
    ASSERT_TRUE(sessionShown());
    const QStringList atLogon = disablerLog;
    QTest::qWait(FirstFrame::DefaultFallbackMs + 100);
    EXPECT_EQ(disablerLog, atLogon) << "the hidden logon window turned its switches on";
}

TEST_F(LogonWindow, FirstRunAdministratorLogsOnInAnyCaseAndGetsTheAdministratorWindow)
{
    frmLogon &w = open();
    logOnAs(QStringLiteral("administrator"), QStringLiteral("QuiverLantern"));
    EXPECT_TRUE(adminShown());
    EXPECT_FALSE(sessionShown());
    EXPECT_FALSE(w.isVisible());
    EXPECT_FALSE(w.Timer1->isActive());
    EXPECT_TRUE(lastGrant.administrator);
    EXPECT_EQ(lastGrant.minutes, -1);
    const auto saved = store.section();
    EXPECT_EQ(saved.size(), 5);
    EXPECT_EQ(saved.value(QStringLiteral("mins1")), QStringLiteral("-1"));
    EXPECT_EQ(saved.value(QStringLiteral("left1")), QStringLiteral("-1"));
    EXPECT_EQ(saved.value(QStringLiteral("date1")), todayText());
    EXPECT_TRUE(w.txtUser->text().isEmpty());
    EXPECT_TRUE(w.txtPassword->text().isEmpty());
    EXPECT_EQ(disablerLog.last(), QStringLiteral("switches off"));
    EXPECT_TRUE(messages.shown.isEmpty());
}

TEST_F(LogonWindow, WrongPasswordIsRefusedAndTheStoreIsUntouched)
{
    storeAccount(1, QStringLiteral("ADMINISTRATOR"), QStringLiteral("SECRET"), -1,
                 QStringLiteral("1/1/2026"), -1);
    const auto before = store.section();
    frmLogon &w = open();
    logOnAs(QStringLiteral("administrator"), QStringLiteral("guess"));
    EXPECT_EQ(messages.texts(), QStringList{QStringLiteral("Invalid UserId/Password")});
    EXPECT_EQ(w.txtUser->text(), QStringLiteral("ADMINISTRATOR"));
    EXPECT_TRUE(w.txtPassword->text().isEmpty());
    EXPECT_TRUE(QTest::qWaitFor([&] { return w.txtUser->hasFocus(); }, 3000));
    EXPECT_EQ(store.section(), before);
    EXPECT_EQ(store.saves, 0);
    EXPECT_TRUE(w.isVisible());
    EXPECT_FALSE(adminShown());
}

// Against guessing: after each wrong password the boxes take no input for about two seconds.
TEST_F(LogonWindow, EachRefusalHoldsTheBoxesForAboutTwoSecondsAndACorrectLogonIsNotSlowed)
{
    storeAccount(1, QStringLiteral("ADMINISTRATOR"), QStringLiteral("SECRET"), -1, QString(), -1);
    storeAccount(2, QStringLiteral("KID"), QStringLiteral("PW"), 30, QString(), 0);
    frmLogon &w = open();
    const auto takesInput = [&] {
        return w.txtUser->isEnabled() && w.txtPassword->isEnabled() && w.cmdLogOn->isEnabled();
    };

    for (int attempt = 0; attempt < 2; ++attempt) {
        SCOPED_TRACE(attempt);
        QElapsedTimer clock;
        clock.start();
        logOnAs(QStringLiteral("kid"), QStringLiteral("guess%1").arg(attempt));
        EXPECT_FALSE(takesInput());
        // What is typed or pressed meanwhile goes nowhere.
        QTest::keyClicks(w.txtPassword, QStringLiteral("pw"));
        QTest::mouseClick(w.cmdLogOn, Qt::LeftButton);
        EXPECT_TRUE(w.txtPassword->text().isEmpty());
        EXPECT_EQ(messages.shown.size(), attempt + 1);
        ASSERT_TRUE(QTest::qWaitFor(takesInput, 3000));
        const qint64 waited = clock.elapsed();
        EXPECT_GE(waited, 1900);
        EXPECT_LT(waited, 2600);
        EXPECT_TRUE(w.txtUser->hasFocus());
    }

    QElapsedTimer clock;
    clock.start();
    logOnAs(QStringLiteral("kid"), QStringLiteral("pw"));
    EXPECT_LT(clock.elapsed(), 500);
    EXPECT_TRUE(sessionShown());
    EXPECT_EQ(messages.shown.size(), 2);
}

TEST_F(LogonWindow, EmptyBoxesMoveTheFocusWithoutAMessage)
{
    frmLogon &w = open();
    QTest::mouseClick(w.cmdLogOn, Qt::LeftButton);
    EXPECT_TRUE(w.txtUser->hasFocus());
    QTest::keyClicks(w.txtUser, QStringLiteral("kid"));
    QTest::mouseClick(w.cmdLogOn, Qt::LeftButton);
    EXPECT_TRUE(w.txtPassword->hasFocus());
    EXPECT_EQ(w.txtUser->text(), QStringLiteral("kid"));
    EXPECT_TRUE(messages.shown.isEmpty());
}

TEST_F(LogonWindow, ASameDayLogonContinuesFromTheMinutesLeft)
{
    storeAccount(1, QStringLiteral("ADMINISTRATOR"), QStringLiteral("X"), -1, QString(), -1);
    storeAccount(2, QStringLiteral("KID"), QStringLiteral("PW"), 60, todayText(), 17);
    open();
    logOnAs(QStringLiteral("kid"), QStringLiteral("pw"));
    EXPECT_TRUE(sessionShown());
    EXPECT_FALSE(adminShown());
    EXPECT_EQ(lastGrant.key, 2) << "the account of slot 2";
    EXPECT_EQ(lastGrant.minutes, 17);
    EXPECT_EQ(store.section().value(QStringLiteral("left2")), QStringLiteral("0"));
    EXPECT_EQ(store.section().value(QStringLiteral("date2")), todayText());
}

// The program killed during a same-day session stores nothing more: what the logon stored has to
// leave no time for another logon that day, and the next day brings the full allowance back.
TEST_F(LogonWindow, ASameDaySessionCutShortByAKillLeavesNoTimeForAnotherLogonThatDay)
{
    storeAccount(1, QStringLiteral("KID"), QStringLiteral("PW"), 60, todayText(), 17);
    open();
    logOnAs(QStringLiteral("kid"), QStringLiteral("pw"));
    ASSERT_TRUE(sessionShown());
    ASSERT_EQ(lastGrant.minutes, 17);

    restartProgram();
    open();
    logOnAs(QStringLiteral("kid"), QStringLiteral("pw"));
    EXPECT_EQ(messages.texts(), QStringList{QStringLiteral("Sorry, no time left today")});
    EXPECT_FALSE(sessionShown());

    today.day = today.day.addDays(1);
    logOnAs(QStringLiteral("kid"), QStringLiteral("pw"));
    EXPECT_TRUE(sessionShown());
    EXPECT_EQ(lastGrant.minutes, 60);
}

TEST_F(LogonWindow, ANewDayStartsFromTheFullAllowance)
{
    storeAccount(1, QStringLiteral("KID"), QStringLiteral("PW"), 60,
                 DateText::fromDate(today.day.addDays(-1)), 0);
    open();
    logOnAs(QStringLiteral("KID"), QStringLiteral("PW"));
    EXPECT_TRUE(sessionShown());
    EXPECT_EQ(lastGrant.minutes, 60);
    EXPECT_EQ(store.section().value(QStringLiteral("left1")), QStringLiteral("0"));
    EXPECT_EQ(store.section().value(QStringLiteral("date1")), todayText());
}

TEST_F(LogonWindow, ADateInAnotherNotationCountsAsANewDay)
{
    storeAccount(1, QStringLiteral("KID"), QStringLiteral("PW"), 45, QStringLiteral("2026-12-08"),
                 3);
    open();
    logOnAs(QStringLiteral("kid"), QStringLiteral("pw"));
    EXPECT_EQ(lastGrant.minutes, 45);
}

TEST_F(LogonWindow, NoTimeLeftTodayIsRefusedWithBothBoxesCleared)
{
    storeAccount(1, QStringLiteral("KID"), QStringLiteral("PW"), 60, todayText(), 0);
    const auto before = store.section();
    frmLogon &w = open();
    logOnAs(QStringLiteral("kid"), QStringLiteral("pw"));
    EXPECT_EQ(messages.texts(), QStringList{QStringLiteral("Sorry, no time left today")});
    EXPECT_TRUE(w.txtUser->text().isEmpty());
    EXPECT_TRUE(w.txtPassword->text().isEmpty());
    EXPECT_TRUE(w.txtUser->hasFocus());
    EXPECT_EQ(store.section(), before);
    EXPECT_FALSE(sessionShown());
    EXPECT_TRUE(w.Timer1->isActive());
}

TEST_F(LogonWindow, AnAccountWithNoDailyMinutesIsDisabledOnAnyDay)
{
    storeAccount(1, QStringLiteral("KID"), QStringLiteral("PW"), 0, QStringLiteral("1/1/2020"), 5);
    storeAccount(2, QStringLiteral("TEEN"), QStringLiteral("PW"), 0, todayText(), 5);
    const auto before = store.section();
    frmLogon &w = open();
    logOnAs(QStringLiteral("kid"), QStringLiteral("pw"));
    logOnAs(QStringLiteral("teen"), QStringLiteral("pw"));
    const QString disabled =
        QStringLiteral("Sorry, your UserID has been disabled. See your administrator");
    EXPECT_EQ(messages.texts(), (QStringList{disabled, disabled}));
    EXPECT_TRUE(w.txtUser->text().isEmpty());
    EXPECT_TRUE(w.txtPassword->text().isEmpty());
    EXPECT_EQ(store.section(), before);
    EXPECT_FALSE(sessionShown());
}

TEST_F(LogonWindow, TwoSlotsWithOneUserIdEachLogOnWithTheirOwnPassword)
{
    storeAccount(1, QStringLiteral("TWIN"), QStringLiteral("ONE"), 10, QString(), 0);
    storeAccount(2, QStringLiteral("TWIN"), QStringLiteral("TWO"), 20, QString(), 0);
    open();
    logOnAs(QStringLiteral("twin"), QStringLiteral("two"));
    EXPECT_EQ(lastGrant.key, 2) << "the account of slot 2";
    EXPECT_EQ(lastGrant.minutes, 20);
}

TEST_F(LogonWindow, TheFirstOfTwoFullyMatchingSlotsWins)
{
    storeAccount(1, QStringLiteral("TWIN"), QStringLiteral("SAME"), 10, QString(), 0);
    storeAccount(2, QStringLiteral("TWIN"), QStringLiteral("SAME"), 20, QString(), 0);
    open();
    logOnAs(QStringLiteral("twin"), QStringLiteral("same"));
    EXPECT_EQ(lastGrant.key, 1) << "the account of slot 1";
}

TEST_F(LogonWindow, RoutingFollowsTheUserIdNotTheSlot)
{
    storeAccount(1, QStringLiteral("KID"), QStringLiteral("PW"), 30, QString(), 0);
    storeAccount(2, QStringLiteral("ADMINISTRATOR"), QStringLiteral("BOSS"), 60, QString(), 60);
    open();
    logOnAs(QStringLiteral("Administrator"), QStringLiteral("boss"));
    EXPECT_TRUE(adminShown());
    EXPECT_EQ(store.section().value(QStringLiteral("left2")), QStringLiteral("-1"));
}

TEST_F(LogonWindow, ACountOfZeroRefusesEveryone)
{
    open();
    accountTable.setAccounts({});
    logOnAs(QStringLiteral("administrator"), QStringLiteral("quiverlantern"));
    EXPECT_EQ(messages.texts(), QStringList{QStringLiteral("Invalid UserId/Password")});
}

TEST_F(LogonWindow, AStoreThatCannotTakeTheLogonGivesNoSession)
{
    storeAccount(1, QStringLiteral("KID"), QStringLiteral("PW"), 30, todayText(), 20);
    store.failNextSave = true;
    frmLogon &w = open();
    logOnAs(QStringLiteral("kid"), QStringLiteral("pw"));
    EXPECT_EQ(
        messages.texts(),
        QStringList{QStringLiteral("Sorry, the accounts cannot be saved. See your administrator")});
    EXPECT_FALSE(sessionShown());
    EXPECT_TRUE(w.isVisible());
    EXPECT_TRUE(w.txtUser->text().isEmpty());
    EXPECT_EQ(store.section().value(QStringLiteral("left1")), QStringLiteral("20"));
}

TEST_F(LogonWindow, AFailedSaveIsReportedAndTheAdministratorStillLogsOn)
{
    storeAccount(1, QStringLiteral("ADMINISTRATOR"), QStringLiteral("BOSS"), -1, QString(), -1);
    store.failNextSave = true;
    open();
    logOnAs(QStringLiteral("administrator"), QStringLiteral("boss"));
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_TRUE(messages.shown[0].text.startsWith(QStringLiteral("Error 75 ")));
    EXPECT_TRUE(adminShown());
}

TEST_F(LogonWindow, BringingItBackRestoresTheWaitingState)
{
    frmLogon &w = open();
    logOnAs(QStringLiteral("administrator"), QStringLiteral("quiverlantern"));
    ASSERT_FALSE(w.isVisible());
    disablerLog.clear();
    w.bringBack();
    EXPECT_TRUE(w.isVisible());
    EXPECT_TRUE(w.Timer1->isActive());
    EXPECT_FALSE(w.windowState() & Qt::WindowMinimized);
    EXPECT_TRUE(disablerLog.contains(QStringLiteral("switches on")));
    EXPECT_EQ(disablerLog.last(), QStringLiteral("switches on"));
}

TEST_F(LogonWindow, ExitTurnsTheSwitchesOffThenShutsDown)
{
    frmLogon &w = open();
    disablerLog.clear();
    w.cmdExit->trigger();
    EXPECT_EQ(disablerLog,
              (QStringList{QStringLiteral("switches off"), QStringLiteral("shut-down requested")}));
    EXPECT_FALSE(flow().hasLogon());
    EXPECT_EQ(programEnd.ends, 1);
}

TEST_F(LogonWindow, ExitWithTheAboutWindowOpenEndsTheProgram)
{
    frmLogon &w = open();
    w.mnuAbout->trigger();
    ASSERT_TRUE(flow().about().isVisible());
    disablerLog.clear();
    w.cmdExit->trigger();
    EXPECT_EQ(disablerLog,
              (QStringList{QStringLiteral("switches off"), QStringLiteral("shut-down requested")}));
    EXPECT_EQ(programEnd.ends, 1);
}

TEST_F(LogonWindow, ARefusedShutDownBringsTheWaitingLogonWindowBack)
{
    frmLogon &w = open();
    w.mnuAbout->trigger();
    disablerLog.clear();
    powerRefused = true;
    w.cmdExit->trigger();
    EXPECT_EQ(programEnd.ends, 0);
    EXPECT_EQ(disablerLog,
              (QStringList{QStringLiteral("switches off"), QStringLiteral("shut-down requested"),
                           QStringLiteral("switches on")}));
    EXPECT_TRUE(flow().hasLogon());
    EXPECT_EQ(&flow().logon(), &w);
    EXPECT_TRUE(w.isVisible());
    EXPECT_TRUE(w.Timer1->isActive());
    EXPECT_TRUE(w.txtUser->hasFocus());

    // A later Exit that the machine accepts ends the program.
    powerRefused = false;
    w.cmdExit->trigger();
    EXPECT_EQ(programEnd.ends, 1);
}

// A settings file that others could have changed: the window shows, nobody logs on, and the
// first-run administrator is not there either; once the file is mended the next logon works.
TEST_F(LogonWindow, AnUntrustedSettingsFileRefusesEveryLogonUntilItIsMended)
{
    storeAccount(1, QStringLiteral("KID"), QStringLiteral("PW"), 30, QString(), 0);
    store.refusedBecause = QStringLiteral("the settings file /x/TimoraV2.ini is a symbolic link");
    frmLogon &w = open();
    const QString refused =
        QStringLiteral("Sorry, the settings file is not safe to use. See your administrator");
    logOnAs(QStringLiteral("administrator"), QStringLiteral("quiverlantern"));
    logOnAs(QStringLiteral("kid"), QStringLiteral("pw"));
    EXPECT_EQ(messages.texts(), (QStringList{refused, refused}));
    EXPECT_FALSE(adminShown());
    EXPECT_FALSE(sessionShown());
    EXPECT_TRUE(w.isVisible());
    EXPECT_TRUE(w.Timer1->isActive());
    EXPECT_EQ(store.saves, 0);

    store.refusedBecause.clear();
    logOnAs(QStringLiteral("kid"), QStringLiteral("pw"));
    EXPECT_TRUE(sessionShown());
    EXPECT_EQ(messages.shown.size(), 2);
}

TEST_F(LogonWindow, MinimisingOrMaximisingTurnsTheSwitchesOff)
{
    frmLogon &w = open();
    disablerLog.clear();
    w.setWindowState(Qt::WindowMaximized);
    w.setWindowState(Qt::WindowNoState);
    w.setWindowState(Qt::WindowMinimized);
    EXPECT_EQ(disablerLog,
              (QStringList{QStringLiteral("switches off"), QStringLiteral("switches on"),
                           QStringLiteral("switches off")}));
}

TEST_F(LogonWindow, TheAboutMenuOpensTheAboutWindow)
{
    frmLogon &w = open();
    w.mnuAbout->trigger();
    ASSERT_TRUE(flow().hasAbout());
    EXPECT_TRUE(flow().about().isVisible());
    EXPECT_TRUE(w.isVisible());
}

} // namespace
