#include "QtMessageBoxes.h"

#include <QMessageBox>
#include <QTimer>

void QtMessageBoxes::show(const QString &text, Modality modality)
{
    QMessageBox box;
    box.setWindowTitle(Caption);
    box.setTextFormat(Qt::PlainText);
    box.setText(text);
    box.setIcon(QMessageBox::NoIcon);
    box.setStandardButtons(QMessageBox::Ok);
    box.setWindowModality(Qt::ApplicationModal);
    if (modality == Modality::System) {
        box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
        QTimer::singleShot(0, &box, [&box] {
            box.raise();
            box.activateWindow();
        });
    }
    box.exec();
}
