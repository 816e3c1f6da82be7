#include "X11Display.h"

#include "core/services/WindowSystem.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>
#include <QWidget>
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

bool xdotool(const QStringList &arguments)
{
    return run(QStringLiteral("xdotool"), arguments);
}

bool inFront(WindowSystem &windows, const QWidget &window)
{
    return windows.foregroundWindow() == static_cast<WindowSystem::WindowId>(window.winId());
}

QString titleInFront(WindowSystem &windows)
{
    const WindowSystem::WindowId front = windows.foregroundWindow();
    if (front == WindowSystem::NoWindow)
        return {};
    return windows.titleOf(front).value_or(QString());
}

bool showInFront(WindowSystem &windows, QWidget &window)
{
    window.show();
    window.activateWindow();
    return waitUntil([&] { return inFront(windows, window); }, 3000);
}

QProcessEnvironment programEnvironment(const QString &home)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), QString::fromLocal8Bit(name()));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), QDir(home).filePath(QStringLiteral("c")));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), home);
    // A single computer, whatever rooms the account running the tests may know.
    environment.insert(QStringLiteral("PGSERVICEFILE"),
                       QDir(home).filePath(QStringLiteral("no-room.conf")));
    return environment;
}

} // namespace X11Display
