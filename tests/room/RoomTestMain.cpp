#include <QCoreApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// Runs the room's tests inside one QCoreApplication (the journal's delivery needs an event loop),
// with a settings folder of their own so that no test ever reads or writes the real user's
// settings.
int main(int argc, char *argv[])
{
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
