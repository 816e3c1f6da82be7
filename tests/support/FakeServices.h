#pragma once

#include "StoredAccounts.h"
#include "app/ProgramFlow.h"
#include "core/rules/AccountTable.h"
#include "core/services/ClockChangeSource.h"
#include "core/services/Disabler.h"
#include "core/services/MessageBoxes.h"
#include "core/services/ProgramEnd.h"
#include "core/services/ProgramStarter.h"
#include "core/services/Services.h"
#include "core/services/TerminationWatch.h"
#include "core/services/Today.h"
#include "core/services/TrayIcon.h"

#include <QDate>
#include <QStringList>
#include <cstdio>
#include <gtest/gtest.h>

class frmLogon;

// Logs on as a person does: types the user id and the password into the logon window's boxes,
// replacing what they held, and presses Log On.
void logOnAs(frmLogon &logon, const QString &user, const QString &password);

// Records every box instead of showing it; an optional hook runs while a box that is waited
// for "is open". A box shown without waiting counts as still open when the test goes on.
class RecordingMessageBoxes : public MessageBoxes
{
public:
    struct Shown
    {
        QString text;
        Modality modality;
        bool waited = true;
    };
    void show(const QString &text, Modality modality) override;
    void showWithoutWaiting(const QString &text, Modality modality) override;
    QStringList texts() const;

    QList<Shown> shown;
    std::function<void(const QString &)> whileOpen;
};

class RecordingProgramEnd : public ProgramEnd
{
public:
    void endNow() override { ++ends; }
    int ends = 0;
};

class RecordingStarter : public ProgramStarter
{
public:
    bool start(const QString &path) override
    {
        started.append(path);
        return result;
    }
    QStringList started;
    bool result = true;
};

class FakeToday : public Today
{
public:
    QDate date() const override { return day; }
    QDate day = QDate(2026, 12, 8);
};

// Shared log of what every disabler was asked, in order. Restart and shut-down succeed unless
// `powerRefused` points at true.
class RecordingDisabler : public Disabler
{
public:
    explicit RecordingDisabler(QStringList *log, const bool *powerRefused = nullptr)
        : m_log(log), m_powerRefused(powerRefused)
    {}
    void setSwitches(bool on) override
    {
        m_on = on;
        m_log->append(on ? QStringLiteral("switches on") : QStringLiteral("switches off"));
    }
    bool switches() const override { return m_on; }
    bool restart() override
    {
        m_log->append(QStringLiteral("restart requested"));
        return !(m_powerRefused && *m_powerRefused);
    }
    bool shutDown() override
    {
        m_log->append(QStringLiteral("shut-down requested"));
        return !(m_powerRefused && *m_powerRefused);
    }

private:
    QStringList *m_log;
    const bool *m_powerRefused;
    bool m_on = false;
};

// Writes what it is asked on standard error, one line each (for a child process whose parent
// reads them).
class PrintingDisabler : public Disabler
{
public:
    void setSwitches(bool on) override
    {
        m_on = on;
        say(on ? "switches on" : "switches off");
    }
    bool switches() const override { return m_on; }
    bool restart() override { return say("restart requested"); }
    bool shutDown() override { return say("shut-down requested"); }

private:
    static bool say(const char *line)
    {
        std::fprintf(stderr, "%s\n", line);
        std::fflush(stderr);
        return true;
    }
    bool m_on = false;
};

// Keeps the clean-ups for the end by a signal, so that a test can run them.
class RecordingTerminationWatch : public TerminationWatch
{
public:
    void add(const void *owner, std::function<void()> cleanUp) override
    {
        cleanUps.append({owner, std::move(cleanUp)});
    }
    void remove(const void *owner) override
    {
        cleanUps.removeIf([owner](const auto &entry) { return entry.first == owner; });
    }
    void signal()
    {
        const auto all = cleanUps;
        for (const auto &entry : all)
            entry.second();
    }
    QList<std::pair<const void *, std::function<void()>>> cleanUps;
};

class FakeTrayIcon : public TrayIcon
{
    Q_OBJECT
public:
    using TrayIcon::TrayIcon;
    void setInTray(bool shown) override { m_in = shown; }
    bool inTray() const override { return m_in; }
    void setTrayTip(const QString &tip) override { m_tip = tip; }
    QString trayTip() const override { return m_tip; }
    bool available() const override { return trayAvailable; }
    void press() { emit MouseDown(); }

    bool trayAvailable = true;

private:
    bool m_in = false;
    QString m_tip;
};

class FakeClockChangeSource : public ClockChangeSource
{
    Q_OBJECT
public:
    using ClockChangeSource::ClockChangeSource;
    void change() { emit TimeChanged(); }
};

// A recorder or fake for every service, and the Services value that hands them out. The
// windows' tray icons and clock-change sources are the last ones made.
struct Fakes
{
    Fakes();
    Fakes(const Fakes &) = delete;
    Fakes &operator=(const Fakes &) = delete;

    // Points every member of services at the fakes (again).
    void installFakes();

    // The program's account table, handed to the windows; over no store until one is set.
    AccountTable accountTable;
    RecordingMessageBoxes messages;
    RecordingProgramEnd programEnd;
    RecordingStarter starter;
    FakeToday today;
    QStringList disablerLog;
    // Every disabler's restart and shut-down requests fail while this is true.
    bool powerRefused = false;
    RecordingTerminationWatch termination;
    FakeTrayIcon *lastTray = nullptr;
    FakeClockChangeSource *lastClock = nullptr;
    bool trayAvailable = true;
    Services services;
};

// The fakes and a fresh account table around each test, and the program's flow of windows over
// them (made at the first call of flow(), so that a test may change the services before). Closes
// whatever windows the test left open.
class TimoraTest : public ::testing::Test, public Fakes, public StoredAccounts
{
protected:
    TimoraTest();
    ~TimoraTest() override;
    void SetUp() override;
    void TearDown() override;

    ProgramFlow &flow();

    // Logs on through the program's logon window (shown first where it is not): types the user
    // id and the password and presses Log On.
    void logOnAs(const QString &user, const QString &password);
    // What the last logon that stood in logOnAs granted.
    SessionGrant lastGrant;
    // The program ends without saving anything more, as when it is killed, and starts again on
    // the same store: its windows and the table go, and the next logon window reads the store
    // afresh.
    void restartProgram();

    QString todayText() const;

private:
    // Every top-level window goes, without running its close handling, and the flow with them.
    void dropWindows();

    std::unique_ptr<ProgramFlow> m_flow;
};
