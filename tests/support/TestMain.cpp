#ifdef TIMORA_TEST_SESSION_BUS_FALLBACK
#include "core/linux/SessionBusFallback.h"
#endif

#ifdef TIMORA_TEST_WIDGETS
#include <QApplication>
#else
#include <QCoreApplication>
#endif
#include <QTemporaryDir>
#include <gtest/gtest.h>

// Runs every test inside one application object (QApplication where the tests show widgets, a
// QCoreApplication for the rules, whose journal delivery and timers need an event loop), with a
// settings folder of its own so that no test ever reads or writes the real user's settings.
int main(int argc, char *argv[])
{
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
#ifdef TIMORA_TEST_WIDGETS
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
#ifdef TIMORA_TEST_SESSION_BUS_FALLBACK
    // As the program does: no attempt to launch a session bus where there is none.
    SessionBusFallback::apply();
#endif
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
#else
    QCoreApplication app(argc, argv);
#endif
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
