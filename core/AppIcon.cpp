#include "AppIcon.h"

QIcon AppIcon::icon()
{
    QIcon icon;
    for (int size : {16, 32, 48})
        icon.addFile(QStringLiteral(":/timoradesk/timoradesk-%1.png").arg(size), QSize(size, size));
    return icon;
}
