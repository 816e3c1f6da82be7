#pragma once

#include "MemorySettingsStore.h"
#include "core/ClockChangeSource.h"
#include "core/Disabler.h"
#include "core/MessageBoxes.h"
#include "core/ProgramEnd.h"
#include "core/ProgramStarter.h"
#include "core/Today.h"
#include "core/TrayIcon.h"

#include <QDate>
#include <QStringList>
#include <gtest/gtest.h>

// Records every box instead of showing it; an optional hook runs while the "box is open".
class RecordingMessageBoxes : public MessageBoxes
{
public:
    struct Shown
    {
        QString text;
        Modality modality;
    };
    void show(const QString &text, Modality modality) override;
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

// Shared log of what every disabler was asked, in order.
class RecordingDisabler : public Disabler
{
public:
    explicit RecordingDisabler(QStringList *log) : m_log(log) {}
    void setSwitches(bool on) override
    {
        m_on = on;
        m_log->append(on ? QStringLiteral("switches on") : QStringLiteral("switches off"));
    }
    bool switches() const override { return m_on; }
    void restart() override { m_log->append(QStringLiteral("restart requested")); }
    void shutDown() override { m_log->append(QStringLiteral("shut-down requested")); }

private:
    QStringList *m_log;
    bool m_on = false;
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

// Installs fakes for every service and a fresh account table around each test, and closes
// whatever windows the test left open.
class TimoraTest : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    // Puts an account into the given slot of the store (not the table).
    void storeAccount(int slot, const QString &user, const QString &password, int mins,
                      const QString &date, int left);
    QString todayText() const;

    MemorySettingsStore store;
    RecordingMessageBoxes messages;
    RecordingProgramEnd programEnd;
    RecordingStarter starter;
    FakeToday today;
    QStringList disablerLog;
    FakeTrayIcon *lastTray = nullptr;
    FakeClockChangeSource *lastClock = nullptr;
    bool trayAvailable = true;
};
