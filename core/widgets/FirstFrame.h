#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <functional>

class QWidget;
class QWindow;

// Runs a piece of work once, as soon as a window's first frame is on the screen: after the
// window system has exposed the shown window and the window has painted. Work that makes the X
// server and every other client busy (rewriting the keyboard map, a grab) then does not compete
// with the first frame. If no expose comes within the fallback time, the work runs anyway, so
// that it never waits on a window manager that does not map the window.
class FirstFrame : public QObject
{
public:
    static constexpr int DefaultFallbackMs = 250;

    // window: a shown top-level widget. The work is dropped if the window goes first.
    static void after(QWidget *window, std::function<void()> work,
                      int fallbackMs = DefaultFallbackMs);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    FirstFrame(QWidget *window, std::function<void()> work, int fallbackMs);
    // Queued, so that the paint of the expose comes first.
    void runSoon();
    void run();

    std::function<void()> m_work;
    QPointer<QWindow> m_window;
    QTimer m_fallback;
    bool m_queued = false;
};
