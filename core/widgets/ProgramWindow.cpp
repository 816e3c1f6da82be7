#include "core/widgets/ProgramWindow.h"

#include "core/widgets/AppIcon.h"

#include <QWidget>

void ProgramWindow::setUp(QWidget *window, const QString &name, const QString &title,
                          Qt::WindowFlags flags)
{
    window->setObjectName(name);
    if (!title.isEmpty())
        window->setWindowTitle(title);
    window->setWindowFlags(flags);
    window->setWindowIcon(AppIcon::icon());
    window->setAttribute(Qt::WA_QuitOnClose, false);
}
