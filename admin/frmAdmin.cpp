#include "frmAdmin.h"

#include <QPointer>

namespace {
QPointer<frmAdmin> s_instance;
}

frmAdmin &frmAdmin::instance()
{
    if (!s_instance)
        s_instance = new frmAdmin();
    return *s_instance;
}

bool frmAdmin::exists()
{
    return !s_instance.isNull();
}

void frmAdmin::release()
{
    if (s_instance)
        s_instance->deleteLater();
    s_instance = nullptr;
}

frmAdmin::frmAdmin()
{
    setObjectName(QStringLiteral("frmAdmin"));
    setWindowTitle(QStringLiteral("Administrator"));
}

void frmAdmin::Show()
{
    show();
}
