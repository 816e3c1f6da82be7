#include "core/widgets/CursorBlinkLimit.h"

#include <QApplication>
#include <QEvent>

CursorBlinkLimit::CursorBlinkLimit(std::chrono::milliseconds blinkFor)
    : m_flashTime(QApplication::cursorFlashTime())
{
    m_rest.setSingleShot(true);
    m_rest.setInterval(blinkFor);
    QObject::connect(&m_rest, &QTimer::timeout, this, [this] { rest(); });
    qApp->installEventFilter(this);
    m_rest.start();
}

CursorBlinkLimit::~CursorBlinkLimit()
{
    qApp->removeEventFilter(this);
    QApplication::setCursorFlashTime(m_flashTime);
}

bool CursorBlinkLimit::blinking() const
{
    return QApplication::cursorFlashTime() != 0;
}

bool CursorBlinkLimit::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::MouseButtonPress:
    case QEvent::FocusIn:
    case QEvent::InputMethod:
        wake();
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

void CursorBlinkLimit::wake()
{
    if (!blinking())
        QApplication::setCursorFlashTime(m_flashTime);
    m_rest.start();
}

void CursorBlinkLimit::rest()
{
    // A flash time of 0 shows the cursor steadily, without a timer.
    QApplication::setCursorFlashTime(0);
}
