#include "config/StationFolder.h"
#include "platform/Application.h"
#include "platform/EspeakSpeaker.h"
#include "terminal/StopSignals.h"
#include "terminal/TerminalRuntime.h"
#include "terminal/TerminalWindow.h"

#include <QIcon>
#include <QTimer>

#include <cstdio>

namespace tolvan {

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
    if (const Result<> caught = CatchStopSignals(&app, end); !caught.ok()) {
        std::fprintf(stderr, "tolvan-terminal: %s\n", caught.error().toLocal8Bit().constData());
    }
    window.show();
    return app.exec() == 0 ? TerminalOk : TerminalUnusable;
}

} // namespace tolvan
