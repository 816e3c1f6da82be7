#pragma once

#include "frmActiveUi.h"

#include "core/rules/Session.h"

#include <QWidget>
#include <memory>

class AppError;
class ClockChangeSource;
class QTimer;
class Disabler;
class TrayIcon;
struct Services;

// The session window "User Signed On" of an ordinary user: counts the day's minutes down,
// punishes any change of the system clock, and ends the session with a restart or shut-down
// of the computer. It can hide in the tray, and the user can change the password in it.
class frmActive : public QWidget, public frmActiveUi
{
    Q_OBJECT
public:
    // The window of the session this logon granted.
    frmActive(const Services &services, const SessionGrant &grant);
    ~frmActive() override;

    // Shows the window, modeless, once it has loaded.
    void Show();
    // The session this window shows.
    const Session &session() const { return *m_session; }

    // Handlers, named after their controls and events.
    void Form_Load();
    void Form_Resize();
    void Form_Unload();
    void Timer1_Timer();
    void SysInfo1_TimeChanged();
    void cmdLogoff_Click();
    void cmdMinimize_Click();
    void tray1_MouseDown();
    void cmdNewPsw_Click();
    void cmdSavePsw_Click();
    void cmdCancel_Click();

    // The controls are in frmActiveUi; the countdown's clock is the session's, and these come
    // from the services.
    QTimer *Timer1 = nullptr;
    TrayIcon *tray1 = nullptr;
    ClockChangeSource *SysInfo1 = nullptr;
    std::unique_ptr<Disabler> Disable1;

signals:
    // The session is over: the program ends.
    void ended();

protected:
    void changeEvent(QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    // Tray tip and bar from the session minutes.
    void refreshDisplay();
    // Shows "Error <number> <description>" for a failure the session goes on from.
    void reportError(const AppError &error);
    // What the session's end asks of the world outside, made once with the window.
    SessionEnd sessionEnd();

    const Services &m_services;
    Session *m_session;
    bool m_loaded = false;
    bool m_shownOnce = false;
    // Set while the window puts its own state back after hiding in the tray.
    bool m_restoringState = false;
};
