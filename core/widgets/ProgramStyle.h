#pragma once

#include <QProxyStyle>

// The platform's style for the program's windows, with one difference: the icon of a menu bar's
// extension button ("»", shown only when the bar is too narrow for its menus) is read when it is
// first drawn instead of when the menu bar is made. Reading it at once would make Qt load every
// image plugin of the system at start-up, for a button the windows never show.
class ProgramStyle : public QProxyStyle
{
public:
    ProgramStyle();

    QIcon standardIcon(StandardPixmap standardIcon, const QStyleOption *option = nullptr,
                       const QWidget *widget = nullptr) const override;
};
