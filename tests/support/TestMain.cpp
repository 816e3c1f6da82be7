#include "core/linux/SessionBusFallback.h"

#include <QApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// Runs every test inside one QApplication, with a settings folder of its own so that no test
// ever reads or writes the real user's settings.
int main(int argc, char *argv[])
{
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // As the program does: no attempt to launch a session bus where there is none.
    SessionBusFallback::apply();
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
