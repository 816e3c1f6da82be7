#include "core/widgets/FirstFrame.h"

#include <QEvent>
#include <QWidget>
#include <QWindow>
#include <utility>

void FirstFrame::after(QWidget *window, std::function<void()> work, int fallbackMs)
{
    new FirstFrame(window, std::move(work), fallbackMs);
}

FirstFrame::FirstFrame(QWidget *window, std::function<void()> work, int fallbackMs)
    : QObject(window), m_work(std::move(work)), m_window(window->windowHandle())
{
    m_fallback.setSingleShot(true);
    connect(&m_fallback, &QTimer::timeout, this, &FirstFrame::run);
    m_fallback.start(fallbackMs);
    if (!m_window || m_window->isExposed())
        runSoon();
    else
        m_window->installEventFilter(this);
}

bool FirstFrame::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Expose && m_window && m_window->isExposed())
        runSoon();
    return QObject::eventFilter(watched, event);
}

void FirstFrame::runSoon()
{
    if (m_queued)
        return;
    m_queued = true;
    if (m_window)
        m_window->removeEventFilter(this);
    QTimer::singleShot(0, this, &FirstFrame::run);
}

void FirstFrame::run()
{
    if (!m_work)
        return;
    m_fallback.stop();
    if (m_window)
        m_window->removeEventFilter(this);
    const std::function<void()> work = std::exchange(m_work, nullptr);
    deleteLater();
    work();
}
