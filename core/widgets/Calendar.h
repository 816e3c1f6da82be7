#pragma once

#include <QCalendarWidget>

// Month calendar for picking a date: a click on a day reports Click, losing the focus LostFocus.
class Calendar : public QCalendarWidget
{
    Q_OBJECT
public:
    explicit Calendar(QWidget *parent = nullptr);

    // The argument-free method called right after each showing: selects today's date.
    void selectToday();
    QDate value() const { return selectedDate(); }

signals:
    void Click();
    void LostFocus();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};
