#include "core/widgets/Calendar.h"

#include <QApplication>
#include <QEvent>

Calendar::Calendar(QWidget *parent) : QCalendarWidget(parent)
{
    connect(this, &QCalendarWidget::clicked, this, [this] { emit Click(); });
    connect(this, &QCalendarWidget::activated, this, [this] { emit Click(); });
    // The focus sits on the inner table view; watch every child for losing it.
    for (QWidget *child : findChildren<QWidget *>())
        child->installEventFilter(this);
    installEventFilter(this);
}

void Calendar::selectToday()
{
    setSelectedDate(QDate::currentDate());
}

bool Calendar::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::FocusOut && isVisible()) {
        // Only a focus that leaves the calendar as a whole counts.
        QWidget *now = QApplication::focusWidget();
        if (!now || (now != this && !isAncestorOf(now)))
            emit LostFocus();
    }
    return QCalendarWidget::eventFilter(watched, event);
}
