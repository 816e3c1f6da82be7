#pragma once

#include <QWidget>

// The administrator window: the account editor.
class frmAdmin : public QWidget
{
    Q_OBJECT
public:
    static frmAdmin &instance();
    static bool exists();
    static void release();

    // Loads the window on first use and shows it, modeless.
    void Show();

private:
    frmAdmin();
};
