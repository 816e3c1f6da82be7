#include "frmActive.h"

#include <QPointer>

namespace {
QPointer<frmActive> s_instance;
}

frmActive &frmActive::instance()
{
    if (!s_instance)
        s_instance = new frmActive();
    return *s_instance;
}

bool frmActive::exists()
{
    return !s_instance.isNull();
}

void frmActive::release()
{
    if (s_instance)
        s_instance->deleteLater();
    s_instance = nullptr;
}

frmActive::frmActive()
{
    setObjectName(QStringLiteral("frmActive"));
    setWindowTitle(QStringLiteral("User Signed On"));
}

void frmActive::Show()
{
    show();
}
