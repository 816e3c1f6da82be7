#include "about/frmAbout.h"
#include "core/rules/AccountTable.h"
#include "core/services/Services.h"
#include "core/widgets/Twips.h"
#include "logon/frmLogon.h"
#include "session/frmActive.h"
#include "tests/support/FakeServices.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class AboutWindow : public TimoraTest
{
protected:
    frmAbout &open()
    {
        frmAbout &w = flow().about();
        w.Show();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&w));
        return w;
    }
    bool aboutShown() { return flow().hasAbout() && flow().about().isVisible(); }
};

TEST_F(AboutWindow, ShowsTitleVersionDescriptionAndDisclaimer)
{
    frmAbout &w = open();
    EXPECT_EQ(w.windowTitle(), QStringLiteral("About TimoraDesk"));
    EXPECT_EQ(w.lblTitle->text(), QStringLiteral("TimoraDesk"));
    EXPECT_EQ(w.lblVersion->text(), QStringLiteral("Version 2.0.0"));
    EXPECT_TRUE(w.lblDescription->text().startsWith(
        QStringLiteral("Setup up to 10 users to use your computer and control how many minutes "
                       "per day they can be logged on. ")));
    EXPECT_TRUE(w.lblDescription->text().contains(QStringLiteral("e-mail")));
    EXPECT_TRUE(w.lblDisclaimer->text().contains(QStringLiteral("own risk")));
    EXPECT_TRUE(w.lblDisclaimer->text().contains(QStringLiteral("liability")));
    EXPECT_FALSE(w.picIcon->pixmap().isNull());
    for (QLabel *label : {w.lblTitle, w.lblDescription, w.lblDisclaimer})
        EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor(Qt::black))
            << label->objectName().toStdString();
}

TEST_F(AboutWindow, IsAFixedModelessDialogWithoutOwner)
{
    frmAbout &w = open();
    EXPECT_EQ(w.size(), Twips::size(5730, 3555));
    EXPECT_EQ(w.minimumSize(), w.maximumSize());
    EXPECT_FALSE(w.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(w.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(w.parentWidget(), nullptr);
    EXPECT_EQ(w.windowModality(), Qt::NonModal);
}

TEST_F(AboutWindow, TextsFitTheirLabels)
{
    frmAbout &w = open();
    for (QLabel *label : {w.lblTitle, w.lblVersion, w.lblDescription, w.lblDisclaimer})
        EXPECT_LE(label->heightForWidth(label->width()), label->height())
            << label->objectName().toStdString();
}

TEST_F(AboutWindow, ButtonCaptionsFitTheirButtons)
{
    frmAbout &w = open();
    for (QPushButton *button : {w.cmdOK, w.cmdSysInfo})
        EXPECT_LE(button->sizeHint().width(), button->width())
            << button->objectName().toStdString();
}

TEST_F(AboutWindow, HasAnEtchedSeparatorGreyOverWhite)
{
    frmAbout &w = open();
    ASSERT_NE(w.Line1[0], nullptr);
    ASSERT_NE(w.Line1[1], nullptr);
    EXPECT_EQ(w.Line1[1]->palette().color(QPalette::Window), QColor(0x80, 0x80, 0x80));
    EXPECT_EQ(w.Line1[0]->palette().color(QPalette::Window), QColor(Qt::white));
    EXPECT_EQ(w.Line1[0]->y(), w.Line1[1]->y() + 1);
}

TEST_F(AboutWindow, OKComesFirstAndIsTheDefaultButton)
{
    frmAbout &w = open();
    EXPECT_EQ(w.cmdOK->text(), QStringLiteral("OK"));
    EXPECT_EQ(w.cmdSysInfo->text(), QStringLiteral("&System Info..."));
    EXPECT_TRUE(w.cmdOK->isDefault());
    EXPECT_TRUE(w.cmdOK->hasFocus());
    EXPECT_EQ(w.cmdOK->nextInFocusChain(), w.cmdSysInfo);
}

class ClosingKey : public AboutWindow, public ::testing::WithParamInterface<Qt::Key>
{};

TEST_P(ClosingKey, PressesOKAndUnloadsTheWindow)
{
    frmAbout &w = open();
    QPointer<frmAbout> window = &w;
    QTest::keyClick(&w, GetParam());
    EXPECT_FALSE(flow().hasAbout());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(window.isNull());
    EXPECT_TRUE(messages.shown.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(EnterAndEsc, ClosingKey,
                         ::testing::Values(Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape));

TEST_F(AboutWindow, OpensAgainWithItsTextsAfterOK)
{
    QTest::mouseClick(open().cmdOK, Qt::LeftButton);
    EXPECT_FALSE(aboutShown());
    frmAbout &again = open();
    EXPECT_TRUE(again.isVisible());
    EXPECT_EQ(again.lblVersion->text(), QStringLiteral("Version 2.0.0"));
}

TEST_F(AboutWindow, OpensFromTheLogonMenuAndClosesWithoutEndingTheProgram)
{
    frmLogon &logon = flow().logon();
    logon.show();
    logon.mnuAbout->trigger();
    ASSERT_TRUE(aboutShown());
    EXPECT_EQ(flow().about().windowTitle().toUpper(), QStringLiteral("ABOUT TIMORADESK"));
    EXPECT_EQ(flow().about().parentWidget(), nullptr);
    flow().about().cmdOK->click();
    EXPECT_FALSE(aboutShown());
    EXPECT_TRUE(logon.isVisible());
    EXPECT_EQ(programEnd.ends, 0);
}

TEST_F(AboutWindow, GoesWithTheProgramWhenTheLogonWindowExits)
{
    frmLogon &logon = flow().logon();
    logon.show();
    logon.mnuAbout->trigger();
    ASSERT_TRUE(aboutShown());
    logon.cmdExit_Click();
    EXPECT_TRUE(disablerLog.contains(QStringLiteral("shut-down requested")));
    EXPECT_EQ(programEnd.ends, 1);
}

TEST_F(AboutWindow, ClosingItWhileAnotherProgramWindowIsOpenLeavesTheProgramRunning)
{
    storeAccount(1, QStringLiteral("KID"), QStringLiteral("PW"), 30, QString(), 0);
    accountTable.LoadAccounts();
    frmActive &session = flow().session(accountTable.openSession(1, 30, todayText()));
    session.Show();
    open().cmdOK->click();
    EXPECT_EQ(programEnd.ends, 0);
    // Even hidden in the tray, the session window keeps the program running.
    session.hide();
    open().cmdOK->click();
    EXPECT_EQ(programEnd.ends, 0);
}

} // namespace
