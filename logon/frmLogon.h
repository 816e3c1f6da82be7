#pragma once

#include "frmLogonUi.h"

#include <QTimer>
#include <QWidget>
#include <memory>

class Disabler;
class ForegroundGuard;
struct Services;
struct SessionGrant;

// The start-up window "System Logon": the only way into the machine.
class frmLogon : public QWidget, public frmLogonUi
{
    Q_OBJECT
public:
    explicit frmLogon(const Services &services);
    ~frmLogon() override;

    // Handlers, named after their controls and events.
    void Form_Load();
    void Form_Resize();
    // False when the shut-down could not be asked for: the window then stays, waiting for a
    // logon with its switches on, rather than leave the machine unguarded.
    bool Form_Unload();
    void cmdLogOn_Click();
    void mnuAbout_Click();
    void cmdExit_Click();
    void Timer1_Timer();

    // Makes the window wait for a logon again: visible, guard running, normal state.
    void bringBack();

    // The controls are in frmLogonUi; this comes from the services.
    std::unique_ptr<Disabler> Disable1;

signals:
    // An account logged on with this grant; the window has put itself away.
    void loggedOn(const SessionGrant &grant);
    void aboutWanted();
    // The window has closed and the shut-down was asked for: the program ends.
    void unloaded();

protected:
    void changeEvent(QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void refuse(const QString &text);
    // After a wrong user id or password the boxes take no input for a while, against guessing.
    void holdInputAfterRefusal();
    void setInputEnabled(bool enabled);
    // Follows the keyboard: while another program holds it, nothing typed reaches this window
    // and the boxes take no input.
    void keyboardChanged();
    bool keyboardTaken() const;
    // Minimised or maximised by someone else while waiting for a logon.
    bool isPutAwayWhileWaiting() const;

    const Services &m_services;
    // The foreground guard, set up at its first tick.
    std::unique_ptr<ForegroundGuard> m_guard;
    QTimer m_refusalWait;
    bool m_shownOnce = false;
    bool m_unloaded = false;
};
