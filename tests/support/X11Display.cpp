#include "X11Display.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>
#include <cstdlib>

namespace {

// Runs before main(), so that Qt's xcb platform finds the display it is meant to use.
const bool s_available = [] {
    const char *display = std::getenv("TIMORA_X11_DISPLAY");
    if (display && *display) {
        setenv("DISPLAY", display, 1);
        setenv("QT_QPA_PLATFORM", "xcb", 1);
        return true;
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    return false;
}();

} // namespace

namespace X11Display {

bool available()
{
    return s_available;
}

QByteArray name()
{
    return qgetenv("TIMORA_X11_DISPLAY");
}

QString skipReason()
{
    return QStringLiteral("TIMORA_X11_DISPLAY is not set: there is no X display (Xvfb with "
                          "openbox) to test on");
}

bool waitUntil(const std::function<bool()> &done, int timeoutMs, const std::function<void()> &poll)
{
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        if (poll)
            poll();
        if (done())
            return true;
        if (clock.elapsed() > timeoutMs)
            return false;
        QThread::msleep(5);
    }
}

void spin(int ms, const std::function<void()> &poll)
{
    waitUntil([] { return false; }, ms, poll);
}

bool run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.start();
    // Qt goes on handling its events meanwhile: the command may need the program to answer.
    const bool finished = waitUntil([&] { return process.state() == QProcess::NotRunning; }, 10000);
    if (!finished) {
        process.kill();
        process.waitForFinished();
        return false;
    }
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

} // namespace X11Display
