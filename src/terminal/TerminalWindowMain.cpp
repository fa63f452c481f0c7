#include "config/StationFolder.h"
#include "platform/Application.h"
#include "platform/EspeakSpeaker.h"
#include "terminal/TerminalRuntime.h"
#include "terminal/TerminalWindow.h"

#include <QIcon>
#include <QSocketNotifier>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace tolvan {

namespace {

int g_stopPipe[2] = {-1, -1};

void onStopSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_stopPipe[1], &byte, 1);
}

} // namespace

int RunTerminalWindow(int& argc, char** argv, const TerminalOptions& options)
{
    // The station program finds and raises the window through X11, so under
    // a Wayland session the terminal runs as an X client too.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && !qEnvironmentVariableIsEmpty("DISPLAY")) {
        qputenv("QT_QPA_PLATFORM", "xcb");
    }
    Application app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tolvan-terminal"));
    QApplication::setDesktopFileName(QStringLiteral("tolvan-pm"));
    QApplication::setWindowIcon(
        QIcon::fromTheme(QStringLiteral("tolvan-pm"), QIcon(QStringLiteral(":/128/tolvan-pm.png"))));
    QApplication::setQuitOnLastWindowClosed(false);

    const QString station = StationFolder::Choose(options.station, QCoreApplication::applicationDirPath(),
                                                  StationFolder::DefaultDataFolder());
    const Result<QStringList> prepared = StationFolder::Prepare(station);
    if (!prepared.ok()) {
        std::fprintf(stderr, "tolvan-terminal: %s\n", prepared.error().toLocal8Bit().constData());
        return TerminalUnusable;
    }

    EspeakSpeaker speaker;
    TerminalRuntime runtime(station, options);
    TerminalWindow window(runtime, speaker);
    // Unusable settings do not end the program: the window shows why and
    // the settings page to mend them.
    const Result<> started = runtime.start();
    if (!started.ok()) {
        window.notStarted(started.error());
    }

    // Closing the window, or a signal, ends the sessions cleanly and gives
    // the last frames a moment to leave.
    bool ending = false;
    const auto end = [&] {
        if (ending) {
            return;
        }
        ending = true;
        window.hide();
        runtime.stop();
        QTimer::singleShot(300, &app, &QCoreApplication::quit);
    };
    QObject::connect(&app, &QGuiApplication::lastWindowClosed, &app, end);
    std::unique_ptr<QSocketNotifier> stopper;
    if (::pipe2(g_stopPipe, O_CLOEXEC | O_NONBLOCK) == 0) {
        struct sigaction action = {};
        action.sa_handler = onStopSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        sigaction(SIGTERM, &action, nullptr);
        sigaction(SIGINT, &action, nullptr);
        stopper = std::make_unique<QSocketNotifier>(g_stopPipe[0], QSocketNotifier::Read);
        QObject::connect(stopper.get(), &QSocketNotifier::activated, &app, [&] {
            char bytes[16];
            while (::read(g_stopPipe[0], bytes, sizeof bytes) > 0) {
            }
            stopper->setEnabled(false);
            end();
        });
    }
    window.show();
    return app.exec() == 0 ? TerminalOk : TerminalUnusable;
}

} // namespace tolvan
