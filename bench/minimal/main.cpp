// The least any Qt Widgets logon window can cost: one window, two line edits and a button.
// The start-up benchmark measures TimoraDesk against it.
#include "app/ReadyProbe.h"

#include <QApplication>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Minimal Logon"));
    auto *layout = new QFormLayout(&window);
    auto *user = new QLineEdit(&window);
    auto *password = new QLineEdit(&window);
    password->setEchoMode(QLineEdit::Password);
    layout->addRow(QStringLiteral("User"), user);
    layout->addRow(QStringLiteral("Password"), password);
    layout->addRow(new QPushButton(QStringLiteral("Log On"), &window));
    user->setFocus();
    if (ReadyProbe::wanted())
        ReadyProbe::watch(user);
    window.show();
    return app.exec();
}
