#include "frmAbout.h"

#include <QPointer>

namespace {
QPointer<frmAbout> s_instance;
}

frmAbout &frmAbout::instance()
{
    if (!s_instance)
        s_instance = new frmAbout();
    return *s_instance;
}

bool frmAbout::exists()
{
    return !s_instance.isNull();
}

void frmAbout::release()
{
    if (s_instance)
        s_instance->deleteLater();
    s_instance = nullptr;
}

frmAbout::frmAbout()
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About TimoraDesk"));
}

void frmAbout::Show()
{
    show();
}
