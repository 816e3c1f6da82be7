#pragma once

#include <QApplication>
#include <QEvent>
#include <QPointer>
#include <QWidget>
#include <QWindow>

#include <cstdio>
#include <ctime>

// Prints "READY <seconds since boot>" (CLOCK_MONOTONIC) on standard output the first moment a
// window is exposed, active, and its given field holds the keyboard focus: the instant a person
// could start typing. The start-up benchmark compares that with the instant it started the
// program. Only created when the benchmark asks for it (TIMORA_BENCH_READY=1); otherwise it costs
// one look at the environment. It looks at events only until it has printed, then removes itself.
class ReadyProbe : public QObject
{
public:
    static bool wanted() { return qEnvironmentVariableIntValue("TIMORA_BENCH_READY") == 1; }

    // Watches until `field` is ready for input; deletes itself afterwards.
    static void watch(QWidget *field)
    {
        auto *probe = new ReadyProbe(field);
        qApp->installEventFilter(probe);
        probe->check();
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::Expose:
        case QEvent::FocusIn:
        case QEvent::WindowActivate:
        case QEvent::UpdateRequest:
        case QEvent::Paint:
            check();
            break;
        default:
            break;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    explicit ReadyProbe(QWidget *field) : QObject(qApp), m_field(field) {}

    void check()
    {
        if (m_done || !m_field)
            return;
        QWindow *window = m_field->window()->windowHandle();
        if (!window || !window->isExposed() || QGuiApplication::focusWindow() != window ||
            QApplication::focusWidget() != m_field)
            return;
        m_done = true;
        timespec now{};
        ::clock_gettime(CLOCK_MONOTONIC, &now);
        std::printf("READY %lld.%09ld\n", static_cast<long long>(now.tv_sec), now.tv_nsec);
        std::fflush(stdout);
        qApp->removeEventFilter(this);
        deleteLater();
    }

    QPointer<QWidget> m_field;
    bool m_done = false;
};
