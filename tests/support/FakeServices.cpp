#include "FakeServices.h"

#include "app/ProgramFlow.h"
#include "core/rules/AccountTable.h"
#include "core/rules/DateText.h"
#include "logon/frmLogon.h"

#include <QApplication>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QWidget>

void RecordingMessageBoxes::show(const QString &text, Modality modality)
{
    shown.append({text, modality});
    if (whileOpen)
        whileOpen(text);
}

void RecordingMessageBoxes::showWithoutWaiting(const QString &text, Modality modality)
{
    shown.append({text, modality, false});
}

QStringList RecordingMessageBoxes::texts() const
{
    QStringList list;
    for (const Shown &s : shown)
        list.append(s.text);
    return list;
}

Fakes::Fakes()
{
    installFakes();
}

void Fakes::installFakes()
{
    services = Services{};
    services.accounts = &accountTable;
    services.messages = &messages;
    services.programEnd = &programEnd;
    services.starter = &starter;
    services.today = &today;
    services.makeDisabler = [this] {
        return std::make_unique<RecordingDisabler>(&disablerLog, &powerRefused);
    };
    services.termination = &termination;
    services.makeTrayIcon = [this](QObject *parent) -> TrayIcon * {
        lastTray = new FakeTrayIcon(parent);
        lastTray->trayAvailable = trayAvailable;
        return lastTray;
    };
    services.makeClockChangeSource = [this](QObject *parent) -> ClockChangeSource * {
        lastClock = new FakeClockChangeSource(parent);
        return lastClock;
    };
}

TimoraTest::TimoraTest() = default;
TimoraTest::~TimoraTest() = default;

void TimoraTest::SetUp()
{
    accountTable.reset();
    accountTable.setStore(&fileStore);
}

ProgramFlow &TimoraTest::flow()
{
    if (!m_flow)
        m_flow = std::make_unique<ProgramFlow>(services);
    return *m_flow;
}

void TimoraTest::TearDown()
{
    dropWindows();
    accountTable.reset();
    accountTable.setStore(nullptr);
}

void TimoraTest::dropWindows()
{
    // A popup owned by a window (a calendar's month menu) goes with its window, so each is
    // checked before delete.
    const QWidgetList windows = QApplication::topLevelWidgets();
    const QList<QPointer<QWidget>> alive(windows.cbegin(), windows.cend());
    for (const QPointer<QWidget> &w : alive)
        delete w.data();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    m_flow.reset();
}

void TimoraTest::logOnAs(const QString &user, const QString &password)
{
    frmLogon &logon = flow().logon();
    if (!logon.isVisible())
        logon.show();
    const QMetaObject::Connection granted = QObject::connect(
        &logon, &frmLogon::loggedOn, [this](const SessionGrant &grant) { lastGrant = grant; });
    ::logOnAs(logon, user, password);
    QObject::disconnect(granted);
}

void TimoraTest::restartProgram()
{
    dropWindows();
    accountTable.reset();
    accountTable.setStore(&fileStore);
}

void logOnAs(frmLogon &logon, const QString &user, const QString &password)
{
    logon.txtUser->clear();
    logon.txtPassword->clear();
    QTest::keyClicks(logon.txtUser, user);
    QTest::keyClicks(logon.txtPassword, password);
    QTest::mouseClick(logon.cmdLogOn, Qt::LeftButton);
}

QString TimoraTest::todayText() const
{
    return today.text();
}
