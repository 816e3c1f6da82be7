#pragma once

#include <QWidget>

// The session window of an ordinary user: the countdown of the day's minutes.
class frmActive : public QWidget
{
    Q_OBJECT
public:
    static frmActive &instance();
    static bool exists();
    static void release();

    // Loads the window on first use and shows it, modeless.
    void Show();

private:
    frmActive();
};
