#pragma once

#include <QObject>
#include <QTimer>
#include <chrono>

// Lets the text cursor blink for a while after the last key press, click or change of focus and
// then holds it steady, as the desktops do (GNOME stops after ten seconds). A logon window that
// waits for hours then wakes the machine only for its own timers, not twice a second to blink.
// Watches the whole application while it exists; gives the blink back when it goes.
class CursorBlinkLimit : public QObject
{
public:
    static constexpr std::chrono::milliseconds DefaultBlinkFor{10000};

    explicit CursorBlinkLimit(std::chrono::milliseconds blinkFor = DefaultBlinkFor);
    ~CursorBlinkLimit() override;

    bool blinking() const;

    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void wake();
    void rest();

    int m_flashTime;
    QTimer m_rest;
};
