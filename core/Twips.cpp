#include "Twips.h"

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
