#include "FakeServices.h"

#include "core/DateText.h"
#include "core/Module1.h"
#include "core/Services.h"

#include <QApplication>
#include <QPointer>
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

void TimoraTest::SetUp()
{
    module1().reset();
    module1().setStore(&store);
    Services &s = services();
    s = Services{};
    s.messages = &messages;
    s.programEnd = &programEnd;
    s.starter = &starter;
    s.today = &today;
    s.makeDisabler = [this] {
        return std::make_unique<RecordingDisabler>(&disablerLog, &powerRefused);
    };
    s.termination = &termination;
    s.makeTrayIcon = [this](QObject *parent) -> TrayIcon * {
        lastTray = new FakeTrayIcon(parent);
        lastTray->trayAvailable = trayAvailable;
        return lastTray;
    };
    s.makeClockChangeSource = [this](QObject *parent) -> ClockChangeSource * {
        lastClock = new FakeClockChangeSource(parent);
        return lastClock;
    };
}

void TimoraTest::TearDown()
{
    // Every top-level window goes, without running its close handling. A popup owned by a
    // window (a calendar's month menu) goes with its window, so each is checked before delete.
    const QWidgetList windows = QApplication::topLevelWidgets();
    const QList<QPointer<QWidget>> alive(windows.cbegin(), windows.cend());
    for (const QPointer<QWidget> &w : alive)
        delete w.data();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    services() = Services{};
    module1().reset();
    module1().setStore(nullptr);
}

void TimoraTest::storeAccount(int slot, const QString &user, const QString &password, int mins,
                              const QString &date, int left)
{
    store.set(Module1::key("user", slot), user);
    store.set(Module1::key("pswd", slot), password);
    store.set(Module1::key("mins", slot), QString::number(mins));
    store.set(Module1::key("date", slot), date);
    store.set(Module1::key("left", slot), QString::number(left));
}

QString TimoraTest::todayText() const
{
    return DateText::fromDate(today.day);
}

void ChildServices::install(std::function<std::unique_ptr<Disabler>()> makeDisabler)
{
    Services &s = services();
    s = Services{};
    s.messages = &messages;
    s.programEnd = &programEnd;
    s.starter = &starter;
    s.today = &today;
    s.makeDisabler = std::move(makeDisabler);
    s.makeTrayIcon = [](QObject *parent) -> TrayIcon * {
        return new FakeTrayIcon(parent);
    };
    s.makeClockChangeSource = [](QObject *parent) -> ClockChangeSource * {
        return new FakeClockChangeSource(parent);
    };
}
