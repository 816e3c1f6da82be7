#include "core/widgets/QtMessageBoxes.h"

#include <QMessageBox>
#include <QTimer>

void QtMessageBoxes::prepare(QMessageBox &box, const QString &text, Modality modality)
{
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
}

void QtMessageBoxes::show(const QString &text, Modality modality)
{
    QMessageBox box;
    prepare(box, text, modality);
    box.exec();
}

void QtMessageBoxes::showWithoutWaiting(const QString &text, Modality modality)
{
    auto *box = new QMessageBox();
    box->setAttribute(Qt::WA_DeleteOnClose);
    prepare(*box, text, modality);
    box->show();
}
