#pragma once

#include <QWidget>

// The About window: title, version and the way to System Information.
class frmAbout : public QWidget
{
    Q_OBJECT
public:
    static frmAbout &instance();
    static bool exists();
    static void release();

    // Loads the window on first use and shows it, modeless.
    void Show();

private:
    frmAbout();
};
