#pragma once

#include <QIcon>

// The program's own icon (an hourglass), for its windows and the tray.
class AppIcon
{
public:
    static QIcon icon();
};
