#pragma once

#include "X11KeyboardGrab.h"
#include "X11ScreenSaver.h"
#include "X11ServerKeys.h"
#include "core/services/Disabler.h"
#include "core/services/PowerBackend.h"

#include <QTimer>
#include <cstdio>
#include <memory>

// The five switches on a Linux desktop with X11, all set together: (1) the keyboard grab, (2)
// the X server's own keys off in the keyboard map, (3) the power, suspend and hibernate keys
// and the lid switch held, (4) sleep held, (5) the screen saver suspended. A facility that is
// missing is skipped and reported once on standard error. Restart and shut-down go to the
// power backend.
//
// Turning the switches on never waits for the X server: the requests go out on the program's
// own X connection and their answers are taken as they come in. After that nothing is polled:
// the switches act again when a pop-up of the program has let go of the keyboard, when the
// grab ends some other way, and when the X server announces a new keyboard map.
class LinuxDisabler : public Disabler
{
public:
    enum Facility { KeyboardGrab, ServerKeys, PowerKeys, Sleep, ScreenSaver, FacilityCount };

    // announce, when given, gets one line for every call: "switches on", "switches off" (the
    // power backend speaks for restart and shut-down).
    explicit LinuxDisabler(std::unique_ptr<PowerBackend> power, std::FILE *announce = nullptr);
    ~LinuxDisabler() override;
    LinuxDisabler(const LinuxDisabler &) = delete;
    LinuxDisabler &operator=(const LinuxDisabler &) = delete;

    void setSwitches(bool on) override;
    bool switches() const override { return m_on; }
    bool keyboardTaken() const override { return m_keyboardTaken; }
    void whenKeyboardChanges(std::function<void()> callback) override;
    bool restart() override;
    bool shutDown() override;

    // Whether the facility does its work now (waits for the X server's answers still due).
    bool isActive(Facility facility);
    // How soon a keyboard grab that someone else held is tried again.
    static constexpr int RetryIntervalMs = 2000;
    // How soon a grab that could not be taken back after a pop-up closed is tried again.
    static constexpr int RetakeIntervalMs = 50;

private:
    void turnOn();
    void turnOff();
    // Takes the X server's answers that have come in; runs again while some are still due.
    void settle();
    // Takes the keyboard back after a pop-up of the program let go of it.
    void retakeGrab();
    void report(Facility facility, const QString &why);
    // Another program held the keyboard at the last answer (true), or the grab is ours or no
    // longer wanted (false). Said on standard error once each time the keyboard is taken.
    void setKeyboardTaken(bool taken);
    void say(const char *line);

    std::unique_ptr<PowerBackend> m_power;
    std::FILE *m_announce;
    X11KeyboardGrab m_grab;
    X11ServerKeys m_serverKeys;
    X11ScreenSaver m_screenSaver;
    QTimer m_settle;
    QTimer m_retry;
    QTimer m_retake;
    bool m_on = false;
    // Another program holds the keyboard, and that has been said.
    bool m_keyboardTaken = false;
    std::function<void()> m_keyboardChanged;
    bool m_reported[FacilityCount] = {};
};
