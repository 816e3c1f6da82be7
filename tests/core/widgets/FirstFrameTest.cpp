#include "core/widgets/FirstFrame.h"

#include <QElapsedTimer>
#include <QEvent>
#include <QPointer>
#include <QTest>
#include <QWidget>
#include <QWindow>
#include <gtest/gtest.h>

namespace {

// Keeps every expose from the window's other watchers, as a window manager that never maps the
// window would.
class ExposeEater : public QObject
{
public:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Expose)
            return true;
        return QObject::eventFilter(watched, event);
    }
};

TEST(FirstFrame, RunsOnceAfterTheShownWindowIsExposedAndPainted)
{
    QWidget window;
    window.resize(200, 100);
    int runs = 0;
    bool exposedWhenRun = false;
    window.show();
    FirstFrame::after(&window, [&] {
        ++runs;
        exposedWhenRun = window.windowHandle()->isExposed();
    });
    EXPECT_EQ(runs, 0) << "ran inside the showing, before any frame";
    EXPECT_TRUE(QTest::qWaitFor([&] { return runs > 0; }, 1000));
    EXPECT_TRUE(exposedWhenRun);
    QTest::qWait(FirstFrame::DefaultFallbackMs + 100);
    EXPECT_EQ(runs, 1) << "the fallback ran the work a second time";
}

TEST(FirstFrame, RunsAfterTheFallbackTimeWhenNoExposeComes)
{
    QWidget window;
    window.resize(200, 100);
    window.winId();
    int runs = 0;
    QElapsedTimer clock;
    qint64 ranAfterMs = -1;
    FirstFrame::after(
        &window,
        [&] {
            ++runs;
            ranAfterMs = clock.elapsed();
        },
        150);
    ExposeEater eater;
    window.windowHandle()->installEventFilter(&eater);
    clock.start();
    window.show();
    EXPECT_TRUE(QTest::qWaitFor([&] { return runs > 0; }, 2000));
    EXPECT_GE(ranAfterMs, 140);
    QTest::qWait(200);
    EXPECT_EQ(runs, 1);
}

TEST(FirstFrame, WorkOfAWindowThatIsGoneIsDropped)
{
    auto *window = new QWidget;
    window->resize(200, 100);
    window->show();
    int runs = 0;
    FirstFrame::after(
        window, [&] { ++runs; }, 50);
    delete window;
    QTest::qWait(300);
    EXPECT_EQ(runs, 0);
}

} // namespace
