#include "core/widgets/Twips.h"

#include <QWidget>
#include <cmath>

int Twips::px(int twips)
{
    return static_cast<int>(std::lround(twips / double(perPixel)));
}

QRect Twips::rect(int left, int top, int width, int height)
{
    return QRect(px(left), px(top), px(width), px(height));
}

QSize Twips::size(int width, int height)
{
    return QSize(px(width), px(height));
}

void Twips::place(QWidget *widget, int left, int top, int width, int height)
{
    widget->setGeometry(rect(left, top, width, height));
}

void Twips::fitLeft(QWidget *widget)
{
    const int wanted = widget->sizeHint().width();
    QRect r = widget->geometry();
    if (wanted > r.width())
        r.setLeft(qMax(0, r.right() + 1 - wanted));
    widget->setGeometry(r);
}
