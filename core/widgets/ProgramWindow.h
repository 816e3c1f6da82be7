#pragma once

#include <QString>
#include <Qt>

class QWidget;

// What every window of the program has in common: its object name, caption and frame, the
// program's icon, and that closing it does not quit the application by itself (the program's
// flow decides when the program ends).
class ProgramWindow
{
public:
    // A frame with a caption, a system menu, minimise and close boxes, and no maximise box.
    static constexpr Qt::WindowFlags MinimiseAndClose =
        Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
        Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint;

    // An empty title leaves the caption to the window.
    static void setUp(QWidget *window, const QString &name, const QString &title,
                      Qt::WindowFlags flags);
};
