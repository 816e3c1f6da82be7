#pragma once

#include <QObject>

// Reports every change of the system clock (date or time), whatever its size or direction.
class ClockChangeSource : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

signals:
    void TimeChanged();
};
