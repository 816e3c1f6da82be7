#include "session/frmActive.h"
#include "core/rules/AccountTable.h"
#include "core/rules/DateText.h"
#include "core/services/Services.h"
#include "core/services/SessionDeadlineWatch.h"
#include "core/widgets/ProgressBar.h"
#include "core/widgets/QtMessageBoxes.h"
#include "core/widgets/Twips.h"
#include "logon/frmLogon.h"
#include "tests/support/FakeServices.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <cmath>

namespace {

const QString Warning = QStringLiteral("Warning, 5 minutes remaining");
const QString Penalty = QStringLiteral("Tsk Tsk Tsk.... You have attempted to circumvent this "
                                       "program. You now have no time remaining!");
const QString NoPassword = QStringLiteral("Error: You did not specify a new password");
const QString Restart = QStringLiteral("restart requested");
const QString ShutDown = QStringLiteral("shut-down requested");

class SessionWindow : public TimoraTest
{
protected:
    // Logs KID on through the logon window, as a user would, and returns the session window.
    frmActive &logOn(int minsPerDay, const QString &date = QString(), int left = 0)
    {
        storeAccount(1, QStringLiteral("ADMINISTRATOR"), QStringLiteral("BOSS"), -1, QString(), -1);
        storeAccount(2, QStringLiteral("KID"), QStringLiteral("PW"), minsPerDay, date, left);
        logOnAs(QStringLiteral("kid"), QStringLiteral("pw"));
        EXPECT_TRUE(flow().hasSession());
        frmActive &w = flow().session();
        EXPECT_TRUE(w.isVisible());
        // From here on only what the session does is of interest.
        disablerLog.clear();
        return w;
    }

    // The window, active, so that focus can be looked at.
    void activate(frmActive &w)
    {
        w.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&w));
    }

    QString stored(const char *prefix) const
    {
        return store.section().value(AccountTable::key(prefix, 2));
    }

    QString tip() const { return lastTray->trayTip(); }

    // A press on the icon reaches the window through the event loop.
    void pressTrayIcon()
    {
        lastTray->press();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::MetaCall);
    }
    int endings() const { return int(disablerLog.count(Restart) + disablerLog.count(ShutDown)); }
};

// ---- Layout ---------------------------------------------------------------------------------

TEST_F(SessionWindow, IsLaidOutAsDesigned)
{
    frmActive &w = logOn(60);
    EXPECT_EQ(w.windowTitle(), QStringLiteral("User Signed On"));
    EXPECT_EQ(w.size(), Twips::size(6945, 4560));
    EXPECT_EQ(w.minimumSize(), w.maximumSize());
    EXPECT_FALSE(w.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(w.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_TRUE(w.windowFlags() & Qt::WindowCloseButtonHint);

    const struct
    {
        QWidget *widget;
        QWidget *parent;
        const char *name;
        QString caption;
        QString toolTip;
        QRect twips;
    } controls[] = {
        {w.frmPswChg,
         &w,
         "frmPswChg",
         QStringLiteral("Change Password"),
         QString(),
         {1920, 240, 2775, 1815}},
        {w.cmdSavePsw,
         w.frmPswChg,
         "cmdSavePsw",
         QStringLiteral("Save"),
         QStringLiteral("Press this button to save your new password"),
         {240, 1200, 975, 375}},
        {w.txtNewpsw,
         w.frmPswChg,
         "txtNewpsw",
         QString(),
         QStringLiteral("Enter a new password here to change your passowrd (It will be shown)"),
         {480, 600, 1935, 375}},
        {w.Label4,
         w.frmPswChg,
         "Label4",
         QStringLiteral("New Password"),
         QString(),
         {600, 360, 1575, 255}},
        {w.cmdCancel,
         w.frmPswChg,
         "cmdCancel",
         QStringLiteral("Cancel"),
         QString(),
         {1560, 1200, 975, 375}},
        {w.txtUser,
         &w,
         "txtUser",
         QStringLiteral("KID"),
         QStringLiteral("Enter your UserId"),
         {840, 480, 2055, 285}},
        {w.Label1[0], &w, "Label1", QStringLiteral("User"), QString(), {360, 480, 375, 255}},
        {w.txtTime,
         &w,
         "txtTime",
         QStringLiteral("60"),
         QStringLiteral("This is how many minutes youe have remaining"),
         {3360, 480, 1935, 495}},
        {w.Label3,
         &w,
         "Label3",
         QStringLiteral("Time Remaining"),
         QString(),
         {3480, 240, 1215, 255}},
        {w.cmdNewPsw,
         &w,
         "cmdNewPsw",
         QStringLiteral("Change Password"),
         QStringLiteral("Press here to change your logon password"),
         {4155, 3750, 1215, 495}},
        {w.cmdLogOff,
         &w,
         "cmdLogOff",
         QStringLiteral("Log &Off"),
         QStringLiteral("Press this when you are finished using the computer"),
         {435, 3750, 1215, 495}},
        {w.cmdMinimize,
         &w,
         "cmdMinimize",
         QStringLiteral("&Minimize"),
         QString(),
         {2235, 3750, 1215, 495}},
        {w.pb1, &w, "pb1", QString(), QString(), {465, 2565, 6060, 270}},
        {w.optReStart,
         &w,
         "optReStart",
         QStringLiteral("Restart"),
         QString(),
         {3090, 2955, 1215, 495}},
        {w.optShutDown,
         &w,
         "optShutDown",
         QStringLiteral("ShutDown"),
         QString(),
         {1425, 2925, 1215, 495}},
    };
    for (const auto &c : controls) {
        SCOPED_TRACE(c.name);
        ASSERT_NE(c.widget, nullptr);
        EXPECT_EQ(c.widget->objectName(), QLatin1String(c.name));
        EXPECT_EQ(c.widget->parentWidget(), c.parent);
        EXPECT_EQ(c.widget->toolTip(), c.toolTip);
        // In place as designed; a caption that the desktop's font makes longer grows just
        // enough to show whole, never shrinks and never leaves its row.
        const QRect designed =
            Twips::rect(c.twips.x(), c.twips.y(), c.twips.width(), c.twips.height());
        const QRect placed = c.widget->geometry();
        if (placed != designed) {
            EXPECT_EQ(placed.top(), designed.top());
            EXPECT_EQ(placed.height(), designed.height());
            EXPECT_GT(placed.width(), designed.width());
            EXPECT_EQ(placed.width(), c.widget->sizeHint().width());
            EXPECT_TRUE(c.parent->rect().contains(placed));
        }
        if (qobject_cast<QLabel *>(c.widget) || qobject_cast<QPushButton *>(c.widget)) {
            EXPECT_GE(placed.width(), c.widget->sizeHint().width());
        }
        QString caption;
        if (auto *box = qobject_cast<QGroupBox *>(c.widget))
            caption = box->title();
        else if (auto *button = qobject_cast<QAbstractButton *>(c.widget))
            caption = button->text();
        else if (auto *edit = qobject_cast<QLineEdit *>(c.widget))
            caption = edit->text();
        else if (auto *label = qobject_cast<QLabel *>(c.widget))
            caption = label->text();
        EXPECT_EQ(caption, c.caption);
    }

    EXPECT_FALSE(w.frmPswChg->isVisible());
    EXPECT_FALSE(w.txtUser->isEnabled());
    EXPECT_EQ(w.txtNewpsw->echoMode(), QLineEdit::Normal);
    EXPECT_EQ(w.txtTime->palette().color(QPalette::Text), QColor(Qt::blue));
    EXPECT_TRUE(w.txtTime->font().bold());
    EXPECT_EQ(w.txtTime->font().pointSize(), 12);
    EXPECT_EQ(w.pb1->minimum(), 0);
    EXPECT_EQ(w.pb1->maximum(), 100);
    EXPECT_TRUE(w.optReStart->isChecked());
    EXPECT_FALSE(w.optShutDown->isChecked());
    EXPECT_EQ(w.Timer1->interval(), 60000);
    EXPECT_FALSE(lastTray->inTray());

    // Fields are heard by their labels.
    EXPECT_EQ(w.txtUser->accessibleName(), QStringLiteral("User"));
    EXPECT_EQ(w.txtTime->accessibleName(), QStringLiteral("Time Remaining"));
    EXPECT_EQ(w.txtNewpsw->accessibleName(), QStringLiteral("New Password"));
    EXPECT_FALSE(w.pb1->accessibleName().isEmpty());

    // Tab order runs over the whole window, the frame's members included.
    const QList<QWidget *> order = {w.cmdSavePsw, w.txtNewpsw,  w.txtUser,   w.txtTime,
                                    w.cmdNewPsw,  w.cmdLogOff,  w.cmdCancel, w.cmdMinimize,
                                    w.optReStart, w.optShutDown};
    QList<QWidget *> chain;
    QWidget *next = w.cmdSavePsw;
    do {
        if (order.contains(next))
            chain.append(next);
        next = next->nextInFocusChain();
    } while (next != w.cmdSavePsw && chain.size() < 20);
    EXPECT_EQ(chain, order);
}

// ---- Countdown ------------------------------------------------------------------------------

struct Countdown
{
    int start;
    int warnings;
};

class Session : public SessionWindow, public ::testing::WithParamInterface<Countdown>
{};

TEST_P(Session, CountsEveryMinuteWarnsOnceAtFiveAndEndsAtZero)
{
    const Countdown run = GetParam();
    frmActive &w = logOn(run.start);
    EXPECT_EQ(w.txtTime->text(), QString::number(run.start));
    EXPECT_EQ(tip(), QStringLiteral("Minutes Remaining:") + QString::number(run.start));
    EXPECT_EQ(w.pb1->value(), 100);
    EXPECT_TRUE(w.Timer1->isActive());
    EXPECT_EQ(stored("left"), QStringLiteral("0")); // while the session runs

    for (int left = run.start - 1; left >= 0; --left) {
        SCOPED_TRACE(left);
        ASSERT_EQ(programEnd.ends, 0);
        w.Timer1_Timer();
        EXPECT_EQ(w.txtTime->text(), QString::number(left));
        EXPECT_EQ(tip(), QStringLiteral("Minutes Remaining:") + QString::number(left));
        EXPECT_EQ(w.pb1->value(), int(std::lround(100.0 * left / run.start)));
        if (left > 0) {
            EXPECT_TRUE(w.Timer1->isActive());
            // A fresh full minute after each tick, after the warning too.
            EXPECT_GT(w.Timer1->remainingTime(), 59000);
        }
    }

    EXPECT_EQ(messages.texts().count(Warning), run.warnings);
    EXPECT_EQ(messages.shown.size(), run.warnings);
    for (const auto &box : messages.shown) {
        EXPECT_EQ(box.modality, MessageBoxes::Modality::System);
        // The countdown never waits for the warning to be closed.
        EXPECT_FALSE(box.waited);
    }

    EXPECT_FALSE(w.Timer1->isActive());
    EXPECT_EQ(stored("left"), QStringLiteral("0"));
    EXPECT_EQ(stored("date"), todayText());
    EXPECT_EQ(disablerLog, QStringList{Restart});
    EXPECT_EQ(programEnd.ends, 1);
}

INSTANTIATE_TEST_SUITE_P(FromLogon, Session,
                         ::testing::Values(Countdown{6, 1}, Countdown{5, 0}, Countdown{2, 0},
                                           Countdown{1, 0}),
                         [](const auto &info) {
                             return "Start" + std::to_string(info.param.start) + "Minutes";
                         });

TEST_F(SessionWindow, ASameDayLogonShowsTheShareOfTheAllowanceLeft)
{
    frmActive &w = logOn(60, todayText(), 30);
    EXPECT_EQ(w.txtUser->text(), QStringLiteral("KID"));
    EXPECT_EQ(w.txtTime->text(), QStringLiteral("30"));
    EXPECT_EQ(w.pb1->value(), 50);
    EXPECT_EQ(tip(), QStringLiteral("Minutes Remaining:30"));
    w.Timer1_Timer();
    w.Timer1_Timer();
    w.Timer1_Timer();
    EXPECT_EQ(w.pb1->value(), 45);
}

TEST_F(SessionWindow, ASessionWithoutLimitIsNeverEndedByTheCountdown)
{
    frmActive &w = logOn(-1);
    EXPECT_EQ(w.txtTime->text(), QStringLiteral("-1"));
    EXPECT_EQ(w.pb1->value(), 100);
    for (int i = 0; i < 8; ++i)
        w.Timer1_Timer();
    EXPECT_EQ(w.txtTime->text(), QStringLiteral("-9"));
    EXPECT_EQ(w.pb1->value(), 100);
    EXPECT_TRUE(w.Timer1->isActive());
    EXPECT_TRUE(messages.shown.isEmpty());
    EXPECT_EQ(programEnd.ends, 0);
    EXPECT_TRUE(disablerLog.isEmpty());
}

// An allowance below zero means no limit, on the day's first logon and on a later one that goes
// on from the count an earlier session stored. The session's own timer runs, at a fast pace.
struct NoLimit
{
    const char *story;
    int daysSinceLastLogon;
    int left;
    int start;
};

void PrintTo(const NoLimit &run, std::ostream *os)
{
    *os << run.story;
}

class SessionWithoutLimit : public SessionWindow, public ::testing::WithParamInterface<NoLimit>
{};

TEST_P(SessionWithoutLimit, CountsOnBelowZeroWithoutAWarningOrAnEnd)
{
    const NoLimit run = GetParam();
    frmActive &w =
        logOn(-1, DateText::fromDate(today.day.addDays(-run.daysSinceLastLogon)), run.left);
    ASSERT_EQ(w.txtTime->text(), QString::number(run.start));
    int ticks = 0;
    QObject::connect(w.Timer1, &QTimer::timeout, [&] { ++ticks; });
    w.Timer1->setInterval(5);
    w.Timer1->start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return ticks >= 12; }, 5000)) << ticks << " ticks";

    const QString reached = QString::number(run.start - ticks);
    EXPECT_EQ(w.txtTime->text(), reached);
    EXPECT_EQ(tip(), QStringLiteral("Minutes Remaining:") + reached);
    EXPECT_EQ(w.pb1->value(), 100);
    EXPECT_TRUE(w.Timer1->isActive());
    EXPECT_TRUE(messages.shown.isEmpty()) << qPrintable(messages.texts().join(QLatin1Char('\n')));
    EXPECT_EQ(programEnd.ends, 0);
    EXPECT_TRUE(disablerLog.isEmpty());

    // Log Off stores the count reached, for a later logon that day.
    QTest::mouseClick(w.cmdLogOff, Qt::LeftButton);
    EXPECT_EQ(stored("left"), reached);
    EXPECT_EQ(disablerLog, QStringList{Restart});
}

INSTANTIATE_TEST_SUITE_P(, SessionWithoutLimit,
                         ::testing::Values(NoLimit{"FirstLogonOfTheDay", 1, 0, -1},
                                           NoLimit{"SameDayAfterAnEarlierSession", 0, -40, -40}),
                         [](const auto &info) { return std::string(info.param.story); });

// ---- Ways out -------------------------------------------------------------------------------

struct WayOut
{
    const char *name;
    bool byClosing; // otherwise the Log Off button
    bool shutDown;  // otherwise Restart, the default
};

class SessionWayOut : public SessionWindow, public ::testing::WithParamInterface<WayOut>
{};

TEST_P(SessionWayOut, StoresTheMinutesLeftAndRequestsOnlyTheChosenEnd)
{
    const WayOut way = GetParam();
    frmActive &w = logOn(20);
    w.Timer1_Timer();
    w.Timer1_Timer();
    if (way.shutDown)
        QTest::mouseClick(w.optShutDown, Qt::LeftButton);
    ASSERT_EQ(w.optShutDown->isChecked(), way.shutDown);
    ASSERT_EQ(w.optReStart->isChecked(), !way.shutDown);
    // A session that runs past midnight is stored on the new day.
    today.day = today.day.addDays(1);

    if (way.byClosing)
        w.close();
    else
        QTest::mouseClick(w.cmdLogOff, Qt::LeftButton);

    EXPECT_EQ(stored("left"), QStringLiteral("18"));
    EXPECT_EQ(stored("date"), DateText::fromDate(today.day));
    EXPECT_EQ(disablerLog, QStringList{way.shutDown ? ShutDown : Restart});
    EXPECT_EQ(programEnd.ends, 1);
    EXPECT_FALSE(w.Timer1->isActive());
    EXPECT_TRUE(messages.shown.isEmpty());
    // The logon window is not seen again.
    EXPECT_FALSE(flow().logon().isVisible());
}

INSTANTIATE_TEST_SUITE_P(Session, SessionWayOut,
                         ::testing::Values(WayOut{"LogOffRestart", false, false},
                                           WayOut{"LogOffShutDown", false, true},
                                           WayOut{"CloseRestart", true, false},
                                           WayOut{"CloseShutDown", true, true}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(SessionWindow, AClockChangeWhileHiddenInTheTrayForfeitsTheDay)
{
    frmActive &w = logOn(45);
    w.Timer1_Timer();
    QTest::mouseClick(w.cmdMinimize, Qt::LeftButton);
    ASSERT_FALSE(w.isVisible());
    ASSERT_TRUE(lastTray->inTray());

    // The clock was put forward to the next day.
    today.day = today.day.addDays(1);
    lastClock->change();

    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_EQ(messages.shown[0].text, Penalty);
    EXPECT_EQ(messages.shown[0].modality, MessageBoxes::Modality::System);
    EXPECT_FALSE(messages.shown[0].waited);
    EXPECT_EQ(w.session().minutes(), 0);
    EXPECT_EQ(stored("left"), QStringLiteral("0"));
    EXPECT_EQ(stored("date"), DateText::fromDate(today.day));
    EXPECT_EQ(disablerLog, QStringList{Restart});
    EXPECT_EQ(programEnd.ends, 1);
}

TEST_F(SessionWindow, FurtherClockChangesWhileThePenaltyIsOpenAddNothing)
{
    logOn(45);
    lastClock->change();
    lastClock->change();
    EXPECT_EQ(messages.texts(), QStringList{Penalty});
    EXPECT_EQ(disablerLog, QStringList{Restart});
    EXPECT_EQ(programEnd.ends, 1);
}

TEST_F(SessionWindow, AClockChangeWhileTheWarningIsOpenEndsTheSessionOnce)
{
    frmActive &w = logOn(6);
    w.Timer1_Timer();
    ASSERT_EQ(messages.texts(), QStringList{Warning});
    lastClock->change();
    EXPECT_EQ(messages.texts(), (QStringList{Warning, Penalty}));
    EXPECT_EQ(stored("left"), QStringLiteral("0"));
    EXPECT_EQ(disablerLog, QStringList{Restart});
    EXPECT_EQ(programEnd.ends, 1);
    EXPECT_FALSE(w.Timer1->isActive());
}

TEST_F(SessionWindow, AClockChangeWithShutDownChosenShutsDown)
{
    frmActive &w = logOn(45);
    w.optShutDown->setChecked(true);
    lastClock->change();
    EXPECT_EQ(messages.texts(), QStringList{Penalty});
    EXPECT_EQ(stored("left"), QStringLiteral("0"));
    EXPECT_EQ(disablerLog, QStringList{ShutDown});
    EXPECT_EQ(programEnd.ends, 1);
}

TEST_F(SessionWindow, AFullDiskIsReportedAndTheSessionStillEnds)
{
    frmActive &w = logOn(10);
    store.failNextSave = true;
    QTest::mouseClick(w.cmdLogOff, Qt::LeftButton);
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_TRUE(messages.shown[0].text.startsWith(QStringLiteral("Error 75 ")));
    EXPECT_EQ(disablerLog, QStringList{Restart});
    EXPECT_EQ(programEnd.ends, 1);
}

// ---- Boxes never stop the countdown --------------------------------------------------------

// The session with the program's real message boxes; the countdown runs on its own timer, at a
// fast pace, and nobody ever presses OK.
class SessionBehindRealBoxes : public SessionWindow
{
protected:
    void SetUp() override
    {
        SessionWindow::SetUp();
        services.messages = &realBoxes;
        // Should a box hold the handler that showed it, it is closed after a while, so that
        // the test fails instead of waiting for ever.
        rescue.setSingleShot(true);
        QObject::connect(&rescue, &QTimer::timeout, [] {
            for (QWidget *w : QApplication::topLevelWidgets())
                if (auto *box = qobject_cast<QMessageBox *>(w))
                    box->done(QMessageBox::Ok);
        });
        rescue.start(RescueMs);
    }

    static QMessageBox *openBox(const QString &text)
    {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (auto *box = qobject_cast<QMessageBox *>(w))
                if (box->isVisible() && box->text() == text)
                    return box;
        return nullptr;
    }

    static constexpr int RescueMs = 3000;
    QtMessageBoxes realBoxes;
    QTimer rescue;
};

TEST_F(SessionBehindRealBoxes, TheWarningLeftOpenDoesNotHoldTheCountdownAndTheSessionEndsAtZero)
{
    frmActive &w = logOn(6);
    w.Timer1->setInterval(40);
    w.Timer1->start();
    QStringList tips;
    QObject::connect(w.Timer1, &QTimer::timeout, [&] { tips.append(tip()); });

    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return openBox(Warning) != nullptr; }, 2000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return programEnd.ends == 1; }, 2000));
    EXPECT_LT(clock.elapsed(), RescueMs);
    EXPECT_NE(openBox(Warning), nullptr) << "the session ended while the warning was open";
    EXPECT_EQ(w.txtTime->text(), QStringLiteral("0"));
    EXPECT_EQ(tips.last(), QStringLiteral("Minutes Remaining:0"));
    EXPECT_EQ(w.pb1->value(), 0);
    EXPECT_EQ(stored("left"), QStringLiteral("0"));
    EXPECT_EQ(stored("date"), todayText());
    EXPECT_EQ(disablerLog, QStringList{Restart});
}

TEST_F(SessionBehindRealBoxes, AClockChangeEndsTheSessionAtOnceWithThePenaltyStillOpen)
{
    frmActive &w = logOn(45);
    w.Timer1_Timer();
    QElapsedTimer clock;
    clock.start();
    lastClock->change();
    EXPECT_LT(clock.elapsed(), 1000);
    EXPECT_EQ(programEnd.ends, 1);
    EXPECT_NE(openBox(Penalty), nullptr) << "the session waited for the penalty box";
    EXPECT_EQ(stored("left"), QStringLiteral("0"));
    EXPECT_EQ(disablerLog, QStringList{Restart});
}

TEST_F(SessionBehindRealBoxes, AClockChangeWhileTheWarningIsOpenEndsTheSession)
{
    frmActive &w = logOn(6);
    w.Timer1_Timer();
    ASSERT_NE(openBox(Warning), nullptr) << "the tick waited for the warning";
    EXPECT_TRUE(w.Timer1->isActive());
    lastClock->change();
    EXPECT_EQ(programEnd.ends, 1);
    EXPECT_NE(openBox(Warning), nullptr);
    EXPECT_EQ(stored("left"), QStringLiteral("0"));
    EXPECT_EQ(disablerLog, QStringList{Restart});
}

TEST_F(SessionBehindRealBoxes, AnErrorAtTheSessionEndDoesNotHoldTheRestartBack)
{
    frmActive &w = logOn(10);
    store.failNextSave = true;
    QElapsedTimer clock;
    clock.start();
    QTest::mouseClick(w.cmdLogOff, Qt::LeftButton);
    EXPECT_LT(clock.elapsed(), 1000);
    EXPECT_EQ(programEnd.ends, 1);
    EXPECT_EQ(disablerLog, QStringList{Restart});
    bool errorOpen = false;
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (auto *box = qobject_cast<QMessageBox *>(widget))
            errorOpen |= box->isVisible() && box->text().startsWith(QStringLiteral("Error 75 "));
    EXPECT_TRUE(errorOpen);
}

// ---- The end by a signal -------------------------------------------------------------------

TEST_F(SessionWindow, ToldToEndTheSessionStoresItsMinutesAndAsksForNoRestart)
{
    frmActive &w = logOn(30);
    w.Timer1_Timer();
    w.Timer1_Timer();
    ASSERT_EQ(stored("left"), QStringLiteral("0"));
    termination.signal();
    EXPECT_EQ(stored("left"), QStringLiteral("28"));
    EXPECT_EQ(stored("date"), todayText());
    EXPECT_TRUE(disablerLog.isEmpty());
    EXPECT_EQ(programEnd.ends, 0) << "the program ends by the signal itself";
    EXPECT_FALSE(w.Timer1->isActive());
    // A session end that comes after it adds nothing.
    QTest::mouseClick(w.cmdLogOff, Qt::LeftButton);
    EXPECT_TRUE(disablerLog.isEmpty());
}

// ---- Deadline -------------------------------------------------------------------------------

class SessionWithDeadline : public SessionWindow
{
protected:
    void SetUp() override
    {
        SessionWindow::SetUp();
        services.deadline = &deadline;
    }
    // When the deadline is due, in minutes from now (rounded to the nearest).
    std::optional<int> minutesToDeadline() const
    {
        const auto due = deadline.deadline().deadline();
        if (!due)
            return std::nullopt;
        const auto left = *due - SessionDeadline::Clock::now();
        return int(std::chrono::round<std::chrono::minutes>(left).count());
    }
    int overdueCalls = 0;
    SessionDeadlineWatch deadline{[this](bool) {
        ++overdueCalls;
    }};
};

TEST_F(SessionWithDeadline, IsSetWhenTheCountdownStartsAndFollowsTheWindowsChoiceAndPenalty)
{
    frmActive &w = logOn(45);
    EXPECT_EQ(minutesToDeadline(), 45);
    EXPECT_TRUE(deadline.deadline().restart());
    w.optShutDown->setChecked(true);
    EXPECT_FALSE(deadline.deadline().restart());
    // The countdown's minutes from now: a tick (here long before its time) brings it forward, and
    // the penalty to now.
    w.Timer1_Timer();
    EXPECT_EQ(minutesToDeadline(), 44);
    lastClock->change();
    EXPECT_EQ(minutesToDeadline(), 0);
    EXPECT_EQ(overdueCalls, 0);
}

TEST_F(SessionWithDeadline, IsNoneWithoutLimitAndClearedWhenTheProgramIsToldToEnd)
{
    logOn(-1);
    EXPECT_EQ(minutesToDeadline(), std::nullopt);
    flow().session().Timer1_Timer();
    EXPECT_EQ(minutesToDeadline(), std::nullopt);
}

TEST_F(SessionWithDeadline, ToldToEndTheSessionLeavesNothingDue)
{
    logOn(30);
    ASSERT_EQ(minutesToDeadline(), 30);
    termination.signal();
    EXPECT_EQ(minutesToDeadline(), std::nullopt);
}

// ---- Load failure ---------------------------------------------------------------------------

class SessionLoadFailure : public SessionWindow, public ::testing::WithParamInterface<int>
{};

TEST_P(SessionLoadFailure, OpensNoSessionStoresNothingAndEndsNothing)
{
    storeAccount(1, QStringLiteral("KID"), QStringLiteral("PW"), 30, QString(), 0);
    accountTable.LoadAccounts();
    try {
        flow().session(accountTable.openSession(GetParam(), 30, todayText()));
        ADD_FAILURE() << "a session opened for slot " << GetParam();
    } catch (const AppError &error) {
        EXPECT_EQ(error.text(), QStringLiteral("9 Subscript out of range"));
    }
    EXPECT_FALSE(flow().hasSession());
    EXPECT_EQ(programEnd.ends, 0);
    // Nothing is stored and nothing is restarted or shut down.
    EXPECT_EQ(store.saves, 0);
    EXPECT_TRUE(disablerLog.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(NoValidAccount, SessionLoadFailure, ::testing::Values(0, -1, 11));

// ---- Tray -----------------------------------------------------------------------------------

TEST_F(SessionWindow, MinimisingHidesInTheTrayAndAPressOnTheIconBringsItBack)
{
    frmActive &w = logOn(30);
    QTest::mouseClick(w.cmdMinimize, Qt::LeftButton);
    EXPECT_FALSE(w.isVisible());
    EXPECT_TRUE(lastTray->inTray());
    EXPECT_FALSE(w.windowState() & Qt::WindowMinimized);

    // The tip follows the countdown while the window is away.
    w.Timer1_Timer();
    EXPECT_EQ(tip(), QStringLiteral("Minutes Remaining:29"));
    EXPECT_TRUE(w.Timer1->isActive());

    // The icon leaves the tray only after it has finished delivering its press.
    lastTray->press();
    EXPECT_TRUE(lastTray->inTray());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::MetaCall);
    EXPECT_TRUE(w.isVisible());
    EXPECT_FALSE(lastTray->inTray());
    EXPECT_EQ(w.size(), Twips::size(6945, 4560));
    EXPECT_TRUE(QTest::qWaitForWindowActive(&w));

    // A late report of the window system that the hidden window is minimised neither shows
    // it nor loses the way back.
    QTest::mouseClick(w.cmdMinimize, Qt::LeftButton);
    ASSERT_FALSE(w.isVisible());
    w.setWindowState(Qt::WindowMinimized);
    EXPECT_FALSE(w.isVisible());
    pressTrayIcon();
    EXPECT_TRUE(w.isVisible());
    EXPECT_FALSE(w.windowState() & Qt::WindowMinimized);
    EXPECT_FALSE(lastTray->inTray());

    // Minimising by the window's own title bar takes the same way.
    w.setWindowState(Qt::WindowMinimized);
    EXPECT_FALSE(w.isVisible());
    EXPECT_TRUE(lastTray->inTray());
    pressTrayIcon();
    EXPECT_TRUE(w.isVisible());
    EXPECT_FALSE(lastTray->inTray());
    EXPECT_EQ(programEnd.ends, 0);
    EXPECT_TRUE(messages.shown.isEmpty());
}

TEST_F(SessionWindow, WithoutATrayMinimisingLeavesTheWindowOnScreen)
{
    trayAvailable = false;
    frmActive &w = logOn(3);
    QTest::mouseClick(w.cmdMinimize, Qt::LeftButton);
    EXPECT_TRUE(w.isVisible());
    EXPECT_FALSE(w.windowState() & Qt::WindowMinimized);
    EXPECT_FALSE(lastTray->inTray());
    w.setWindowState(Qt::WindowMinimized);
    EXPECT_TRUE(w.isVisible());
    EXPECT_FALSE(w.windowState() & Qt::WindowMinimized);

    // The countdown and the way out keep working.
    w.Timer1_Timer();
    EXPECT_EQ(w.txtTime->text(), QStringLiteral("2"));
    QTest::mouseClick(w.cmdLogOff, Qt::LeftButton);
    EXPECT_EQ(stored("left"), QStringLiteral("2"));
    EXPECT_EQ(disablerLog, QStringList{Restart});
    EXPECT_EQ(programEnd.ends, 1);
}

// ---- Password change ------------------------------------------------------------------------

TEST_F(SessionWindow, AnEmptyNewPasswordIsRefusedAndCancelStoresNothing)
{
    frmActive &w = logOn(30);
    activate(w);
    const auto before = store.section();
    const int saves = store.saves;

    QTest::mouseClick(w.cmdNewPsw, Qt::LeftButton);
    EXPECT_TRUE(w.frmPswChg->isVisible());
    EXPECT_TRUE(w.txtNewpsw->hasFocus());

    QTest::mouseClick(w.cmdSavePsw, Qt::LeftButton);
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_EQ(messages.shown[0].text, NoPassword);
    EXPECT_EQ(messages.shown[0].modality, MessageBoxes::Modality::Application);
    EXPECT_TRUE(w.frmPswChg->isVisible());

    QTest::keyClicks(w.txtNewpsw, QStringLiteral("later"));
    QTest::mouseClick(w.cmdCancel, Qt::LeftButton);
    EXPECT_FALSE(w.frmPswChg->isVisible());
    EXPECT_EQ(store.section(), before);
    EXPECT_EQ(store.saves, saves);
    EXPECT_EQ(accountTable.account(2).password, QStringLiteral("PW"));

    // Opened again, the box still holds what was typed.
    QTest::mouseClick(w.cmdNewPsw, Qt::LeftButton);
    EXPECT_EQ(w.txtNewpsw->text(), QStringLiteral("later"));
}

TEST_F(SessionWindow, ANewPasswordIsStoredInUpperCaseAndTheMinutesLeftStayZero)
{
    frmActive &w = logOn(30);
    activate(w);
    w.Timer1_Timer();
    w.Timer1_Timer();
    // A session that runs past midnight: the password change stores no date either.
    today.day = today.day.addDays(1);
    QTest::mouseClick(w.cmdNewPsw, Qt::LeftButton);
    QTest::keyClicks(w.txtNewpsw, QStringLiteral("new Pw"));
    QTest::mouseClick(w.cmdSavePsw, Qt::LeftButton);

    EXPECT_TRUE(messages.shown.isEmpty());
    EXPECT_EQ(stored("pswd"), QStringLiteral("NEW PW"));
    // Killed from here on, the program gives no time back.
    EXPECT_EQ(stored("left"), QStringLiteral("0"));
    EXPECT_EQ(stored("date"), DateText::fromDate(today.day.addDays(-1)));
    EXPECT_FALSE(w.frmPswChg->isVisible());
    EXPECT_EQ(w.txtNewpsw->text(), QStringLiteral("new Pw"));
    // The session goes on; its end writes the final minutes.
    EXPECT_TRUE(w.Timer1->isActive());
    w.Timer1_Timer();
    QTest::mouseClick(w.cmdLogOff, Qt::LeftButton);
    EXPECT_EQ(stored("left"), QStringLiteral("27"));
    EXPECT_EQ(stored("pswd"), QStringLiteral("NEW PW"));
}

// The logon window upper-cases what is typed, so the new password is stored upper-cased: it logs
// on the next day typed in any case, whether the session ended by Log Off or the program was
// killed after the change; the old one is refused.
class ChangedPassword : public SessionWindow, public ::testing::WithParamInterface<bool>
{};

TEST_P(ChangedPassword, LogsOnTheNextDayTypedInAnyCase)
{
    const bool byLogOff = GetParam();
    frmActive &w = logOn(30);
    QTest::mouseClick(w.cmdNewPsw, Qt::LeftButton);
    QTest::keyClicks(w.txtNewpsw, QStringLiteral("Blue Moon"));
    QTest::mouseClick(w.cmdSavePsw, Qt::LeftButton);
    ASSERT_TRUE(messages.shown.isEmpty());
    if (byLogOff)
        QTest::mouseClick(w.cmdLogOff, Qt::LeftButton);

    restartProgram();
    today.day = today.day.addDays(1);
    logOnAs(QStringLiteral("kid"), QStringLiteral("bLUE mOON"));
    EXPECT_TRUE(messages.shown.isEmpty()) << qPrintable(messages.texts().join(QLatin1Char('\n')));
    ASSERT_TRUE(flow().hasSession());
    EXPECT_EQ(flow().session().txtTime->text(), QStringLiteral("30"));

    restartProgram();
    logOnAs(QStringLiteral("kid"), QStringLiteral("pw"));
    EXPECT_EQ(messages.texts(), QStringList{QStringLiteral("Invalid UserId/Password")});
    EXPECT_FALSE(flow().hasSession());
}

INSTANTIATE_TEST_SUITE_P(, ChangedPassword, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool> &info) {
                             return info.param ? "AfterLogOff" : "AfterAKill";
                         });

TEST_F(SessionWindow, APasswordThatCannotBeStoredIsReportedAndTheFrameCloses)
{
    frmActive &w = logOn(30);
    QTest::mouseClick(w.cmdNewPsw, Qt::LeftButton);
    QTest::keyClicks(w.txtNewpsw, QStringLiteral("x"));
    store.failNextSave = true;
    QTest::mouseClick(w.cmdSavePsw, Qt::LeftButton);
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_TRUE(messages.shown[0].text.startsWith(QStringLiteral("Error 75 ")));
    EXPECT_FALSE(w.frmPswChg->isVisible());
    EXPECT_TRUE(w.Timer1->isActive());
    EXPECT_EQ(programEnd.ends, 0);
}

} // namespace
