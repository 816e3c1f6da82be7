#pragma once

#include "MessageBoxes.h"

class QtMessageBoxes : public MessageBoxes
{
public:
    static inline const QString Caption = QStringLiteral("TimoraDesk");
    void show(const QString &text, Modality modality) override;
};
