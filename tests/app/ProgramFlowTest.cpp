// The program's flow between its windows, with only the services that are always there.
#include "app/ProgramFlow.h"
#include "about/frmAbout.h"
#include "admin/frmAdmin.h"
#include "core/AccountTable.h"
#include "core/Services.h"
#include "logon/frmLogon.h"
#include "session/frmActive.h"
#include "tests/support/FakeServices.h"

#include <QLineEdit>
#include <QPushButton>
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
    EXPECT_EQ(module1().loggedOnIndex(), 0);
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

TEST_F(BareFlow, ClosingTheLogonWindowEndsTheProgramOnceWithoutADisabler)
{
    frmLogon &logon = flow().logon();
    logon.show();
    logon.cmdExit->trigger();
    EXPECT_FALSE(flow().hasLogon());
    EXPECT_EQ(programEnd.ends, 1);
}

} // namespace
