#include "platform/Application.h"
#include "platform/EspeakSpeaker.h"
#include "platform/LinuxProcesses.h"
#include "platform/QtDialogs.h"
#include "platform/X11Desktop.h"
#include "shell/AppContext.h"
#include "shell/ScreenRegistry.h"
#include "shell/Screens.h"

#include <QApplication>

#include <csignal>

int main(int argc, char** argv)
{
    // Window search, raising and key synthesis work through X11, so under a
    // Wayland session the program runs as an X client.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && !qEnvironmentVariableIsEmpty("DISPLAY")) {
        qputenv("QT_QPA_PLATFORM", "xcb");
    }
    // A file-size limit must come back to the writers as a short write, so
    // they fail cleanly and remove their temporary files, instead of killing
    // the process half way through a file.
    std::signal(SIGXFSZ, SIG_IGN);
    tolvan::Application app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tolvan-pm"));
    // Screens come and go; the program ends only through the entry screen's QUIT.
    QApplication::setQuitOnLastWindowClosed(false);

    tolvan::QtDialogs dialogs;
    app.setDialogs(&dialogs);
    tolvan::EspeakSpeaker speaker;
    tolvan::X11Desktop desktop;
    tolvan::LinuxProcesses processes;
    tolvan::Clock clock;
    tolvan::AppContext context{tolvan::ConfigStore(), &dialogs, &speaker, &desktop, &processes, &clock,
                               tolvan::LocaleText()};

    tolvan::ScreenRegistry registry(context);
    tolvan::registerAllScreens(registry);
    registry.setQuitHook([] { QCoreApplication::exit(0); });
    registry.Show(QStringLiteral("ENTER"));
    return app.exec();
}
