#pragma once

#include <QRect>
#include <QSize>

class QWidget;

// Window layouts are designed in twips; 15 twips make one logical pixel at 96 DPI.
class Twips
{
public:
    static constexpr int perPixel = 15;
    static int px(int twips);
    static QRect rect(int left, int top, int width, int height);
    static QSize size(int width, int height);
    static void place(QWidget *widget, int left, int top, int width, int height);
    // Widens a caption that the desktop's font makes longer than its place, keeping its right
    // edge, so that a label standing left of its field is never cut off.
    static void fitLeft(QWidget *widget);
};
