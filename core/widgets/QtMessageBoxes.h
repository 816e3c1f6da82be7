#pragma once

#include "core/services/MessageBoxes.h"

class QMessageBox;

class QtMessageBoxes : public MessageBoxes
{
public:
    static inline const QString Caption = QStringLiteral("TimoraDesk");
    void show(const QString &text, Modality modality) override;
    void showWithoutWaiting(const QString &text, Modality modality) override;

private:
    static void prepare(QMessageBox &box, const QString &text, Modality modality);
};
