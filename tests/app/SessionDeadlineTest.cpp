#include "core/linux/X11WindowSystem.h"
#include "core/rules/AccountTable.h"
#include "core/services/SystemToday.h"
#include "tests/support/AccountsOnFile.h"
#include "tests/support/X11Display.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using X11Display::waitUntil;

// The program itself on the test display with a one-minute account, logged on as a person does.
class AOneMinuteSession : public ::testing::Test
{
protected:
    void SetUp() override
    {
        SKIP_WITHOUT_X11_DISPLAY();
        ASSERT_TRUE(home.isValid());
        accounts =
            std::make_unique<AccountsOnFile>(QDir(home.path()).filePath(QStringLiteral("c")));
        accounts->table.setAccounts(
            {{AccountTable::AdminId, QStringLiteral("BOSS"), -1, QString(), -1},
             {QStringLiteral("KID"), QStringLiteral("PW"), 1, QString(), 0}});
        accounts->table.SaveAccounts();

        QProcessEnvironment environment = X11Display::programEnvironment(home.path());
        environment.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("detect_leaks=0"));
        program.setProcessEnvironment(environment);
        program.start(QStringLiteral(TIMORADESK_EXECUTABLE), {});
        ASSERT_TRUE(program.waitForStarted(10000));
        ASSERT_TRUE(waitUntil([&] { return errors().contains("switches on\n"); }, 20000))
            << errors().constData();
        windows = std::make_unique<X11WindowSystem>(X11Display::name());
        ASSERT_TRUE(
            waitUntil([&] { return titleInFront() == QStringLiteral("System Logon"); }, 10000));
    }

    void TearDown() override
    {
        for (QProcess *process : {&grabber, &program}) {
            if (process->state() != QProcess::NotRunning) {
                process->kill();
                process->waitForFinished(10000);
            }
        }
    }

    QByteArray errors()
    {
        m_errors += program.readAllStandardError();
        return m_errors;
    }

    QString titleInFront() { return X11Display::titleInFront(*windows); }

    QTemporaryDir home;
    std::unique_ptr<AccountsOnFile> accounts;
    QProcess program;
    QProcess grabber;
    std::unique_ptr<X11WindowSystem> windows;

private:
    QByteArray m_errors;
};

TEST_F(AOneMinuteSession, EndsOnTimeWhileAnotherClientHoldsTheServerThroughItsLastMinute)
{
    // The program takes the focus a moment after the window manager made it active.
    X11Display::spin(500);
    ASSERT_TRUE(X11Display::xdotool({QStringLiteral("type"), QStringLiteral("kid")}));
    ASSERT_TRUE(X11Display::xdotool({QStringLiteral("key"), QStringLiteral("Tab")}));
    ASSERT_TRUE(X11Display::xdotool({QStringLiteral("type"), QStringLiteral("pw")}));
    ASSERT_TRUE(X11Display::xdotool({QStringLiteral("key"), QStringLiteral("alt+l")}));
    ASSERT_TRUE(waitUntil([&] { return errors().contains("switches off\n"); }, 10000))
        << errors().constData();
    QElapsedTimer session;
    session.start();
    ASSERT_TRUE(
        waitUntil([&] { return titleInFront() == QStringLiteral("User Signed On"); }, 10000));
    const WindowSystem::WindowId sessionWindow = windows->foregroundWindow();

    // From well before the last minute to well past it, the server answers nobody else; the
    // session window is told to draw meanwhile.
    grabber.setProcessEnvironment(X11Display::programEnvironment(home.path()));
    grabber.start(QStringLiteral(SERVER_GRABBER_EXECUTABLE),
                  {QStringLiteral("150"), QString::number(sessionWindow)});
    ASSERT_TRUE(grabber.waitForReadyRead(10000));
    ASSERT_EQ(grabber.readAllStandardOutput(), "grabbed\n");

    // Nothing here talks to the display while the grab is held.
    EXPECT_TRUE(program.waitForFinished(90000));
    const qint64 lasted = session.elapsed();
    EXPECT_LE(lasted, 60000 + 8000) << "the session lasted " << lasted << " ms";
    EXPECT_GE(lasted, 58000);
    // The window thread was held up drawing: the deadline's thread ended the session, once.
    EXPECT_EQ(errors().count("the program ends the session\n"), 1) << errors().constData();
    EXPECT_EQ(errors().count("restart requested\n"), 1) << errors().constData();
    grabber.kill();
    grabber.waitForFinished(10000);

    // The rest of the day is gone.
    AccountTable &table = accounts->table;
    table.reset();
    table.LoadAccounts();
    EXPECT_EQ(table.account(2).minsLeft, 0);
    EXPECT_EQ(table.account(2).lastDate, SystemToday().text());
}

} // namespace
