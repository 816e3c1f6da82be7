#include "Services.h"

#include "DateText.h"
#include "Today.h"

Services &services()
{
    static Services instance;
    return instance;
}

QString Services::todayText() const
{
    return DateText::fromDate(today->date());
}

QIcon Services::appIcon()
{
    QIcon icon;
    for (int size : {16, 32, 48})
        icon.addFile(QStringLiteral(":/timoradesk/timoradesk-%1.png").arg(size), QSize(size, size));
    return icon;
}
