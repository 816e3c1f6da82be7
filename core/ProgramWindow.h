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
    // An empty title leaves the caption to the window.
    static void setUp(QWidget *window, const QString &name, const QString &title,
                      Qt::WindowFlags flags);
};
