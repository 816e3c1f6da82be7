// The program's flow between its windows, with only the services that are always there.
#include "app/ProgramFlow.h"
#include "about/frmAbout.h"
#include "admin/frmAdmin.h"
#include "core/rules/AccountTable.h"
#include "core/services/Services.h"
#include "core/services/SessionHandover.h"
#include "logon/frmLogon.h"
#include "session/frmActive.h"
#include "tests/support/FakeServices.h"

#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <stdexcept>

namespace {

class BareFlow : public TimoraTest
{
protected:
    void SetUp() override
    {
        TimoraTest::SetUp();
        // No disabler, tray icon, clock-change source, window system, registry or signal watch.
        services = Services{};
        services.accounts = &accountTable;
        services.messages = &messages;
        services.programEnd = &programEnd;
        services.starter = &starter;
        services.today = &today;
        storeAccount(1, AccountTable::AdminId, QStringLiteral("BOSS"), -1, QString(), -1);
        storeAccount(2, QStringLiteral("KID"), QStringLiteral("PW"), 30, QString(), 0);
    }
};

TEST(ProgramFlowServices, AFlowWithoutTheServicesThatAreAlwaysNeededIsRefused)
{
    Fakes fakes;
    fakes.services.today = nullptr;
    EXPECT_THROW(ProgramFlow flow(fakes.services), std::invalid_argument);
    fakes.installFakes();
    fakes.services.accounts = nullptr;
    EXPECT_THROW(ProgramFlow flow(fakes.services), std::invalid_argument);
    fakes.installFakes();
    EXPECT_NO_THROW(ProgramFlow flow(fakes.services));
}

TEST_F(BareFlow, ASessionRunsAndEndsWithoutTheOptionalServices)
{
    logOnAs(QStringLiteral("kid"), QStringLiteral("pw"));
    ASSERT_TRUE(flow().hasSession());
    frmActive &session = flow().session();
    EXPECT_TRUE(session.isVisible());
    EXPECT_EQ(session.tray1, nullptr);
    EXPECT_EQ(session.SysInfo1, nullptr);
    session.Timer1_Timer();
    QTest::mouseClick(session.cmdLogOff, Qt::LeftButton);
    EXPECT_EQ(programEnd.ends, 1);
    EXPECT_EQ(store.section().value(QStringLiteral("left2")), QStringLiteral("29"));
    EXPECT_TRUE(messages.shown.isEmpty());
}

TEST_F(BareFlow, TheAdministratorComesAndGoesAndTheLogonWindowWaitsAgain)
{
    logOnAs(QStringLiteral("administrator"), QStringLiteral("boss"));
    ASSERT_TRUE(flow().hasAdmin());
    EXPECT_FALSE(flow().logon().isVisible());
    QTest::mouseClick(flow().admin().cmdLogoff, Qt::LeftButton);
    EXPECT_FALSE(flow().hasAdmin());
    EXPECT_TRUE(flow().logon().isVisible());
    EXPECT_EQ(programEnd.ends, 0);
}

TEST_F(BareFlow, WithoutARegistrySystemInformationIsUnavailable)
{
    flow().logon().mnuAbout->trigger();
    ASSERT_TRUE(flow().hasAbout());
    flow().about().cmdSysInfo->click();
    EXPECT_EQ(messages.texts(), QStringList{frmAbout::Unavailable});
    EXPECT_TRUE(starter.started.isEmpty());
}

// What the launcher is told, in order; into a log of its own or one it shares with a disabler.
class RecordingHandover : public SessionHandover
{
public:
    explicit RecordingHandover(QStringList *log = nullptr) : m_log(log ? log : &told) {}
    void sessionStarted(qint32 minutes) override
    {
        *m_log << QStringLiteral("session %1").arg(minutes);
    }
    void sessionEnded() override { *m_log << QStringLiteral("end"); }
    void powerActionFailed() override { *m_log << QStringLiteral("again"); }
    QStringList told;

private:
    QStringList *m_log;
};

// The launcher ends the kiosk account's programs before the power action is asked, so that none
// of them can hold it back; a refused power action has the launcher start the program anew.
struct EndCase
{
    bool restart, refused;
    QStringList expected;
};

class SessionEndOrder : public TimoraTest, public ::testing::WithParamInterface<EndCase>
{};

TEST_P(SessionEndOrder, TheLauncherEndsTheSessionsProgramsBeforeThePowerActionIsAsked)
{
    const EndCase &c = GetParam();
    storeAccount(1, AccountTable::AdminId, QStringLiteral("BOSS"), -1, QString(), -1);
    storeAccount(2, QStringLiteral("KID"), QStringLiteral("PW"), 30, QString(), 0);
    RecordingHandover handover(&disablerLog);
    services.handover = &handover;
    powerRefused = c.refused;
    logOnAs(QStringLiteral("kid"), QStringLiteral("pw"));
    ASSERT_TRUE(flow().hasSession());
    (c.restart ? flow().session().optReStart : flow().session().optShutDown)->setChecked(true);
    disablerLog.clear();
    QTest::mouseClick(flow().session().cmdLogOff, Qt::LeftButton);
    EXPECT_EQ(disablerLog, c.expected) << disablerLog.join(u',').toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    RestartOrShutDown, SessionEndOrder,
    ::testing::Values(
        EndCase{true, false, {QStringLiteral("end"), QStringLiteral("restart requested")}},
        EndCase{false, false, {QStringLiteral("end"), QStringLiteral("shut-down requested")}},
        EndCase{
            true,
            true,
            {QStringLiteral("end"), QStringLiteral("restart requested"), QStringLiteral("again")}},
        EndCase{false,
                true,
                {QStringLiteral("end"), QStringLiteral("shut-down requested"),
                 QStringLiteral("again")}}));

TEST_F(BareFlow, TheLauncherHearsOfAnOrdinarySessionOnlyAndOfItsEnd)
{
    RecordingHandover handover;
    services.handover = &handover;
    storeAccount(3, QStringLiteral("FREE"), QStringLiteral("PW"), -1, QString(), -1);
    logOnAs(QStringLiteral("administrator"), QStringLiteral("boss"));
    ASSERT_TRUE(flow().hasAdmin());
    QTest::mouseClick(flow().admin().cmdLogoff, Qt::LeftButton);
    EXPECT_TRUE(handover.told.isEmpty()) << handover.told.join(u',').toStdString();

    logOnAs(QStringLiteral("kid"), QStringLiteral("pw"));
    ASSERT_TRUE(flow().hasSession());
    EXPECT_EQ(handover.told, QStringList{QStringLiteral("session 30")});
    QTest::mouseClick(flow().session().cmdLogOff, Qt::LeftButton);
    EXPECT_EQ(handover.told, (QStringList{QStringLiteral("session 30"), QStringLiteral("end")}));
    EXPECT_EQ(programEnd.ends, 1);
}

TEST_F(BareFlow, ASessionWithoutLimitIsHandedOverWithoutMinutes)
{
    RecordingHandover handover;
    services.handover = &handover;
    storeAccount(3, QStringLiteral("FREE"), QStringLiteral("PW"), -1, QString(), -1);
    logOnAs(QStringLiteral("free"), QStringLiteral("pw"));
    ASSERT_TRUE(flow().hasSession());
    EXPECT_EQ(handover.told, QStringList{QStringLiteral("session -1")});
}

TEST_F(BareFlow, ClosingTheLogonWindowEndsTheProgramOnceWithoutADisabler)
{
    frmLogon &logon = flow().logon();
    logon.show();
    logon.cmdExit->trigger();
    EXPECT_FALSE(flow().hasLogon());
    EXPECT_EQ(programEnd.ends, 1);
}

} // namespace
