#include "app/StartOptions.h"
#include "config/StationFolder.h"
#include "mail/MailPost.h"
#include "platform/Application.h"
#include "platform/EspeakSpeaker.h"
#include "platform/LinuxProcesses.h"
#include "platform/QtDialogs.h"
#include "platform/X11Desktop.h"
#include "shell/AppContext.h"
#include "shell/ScreenRegistry.h"
#include "shell/Screens.h"

#include <QApplication>
#include <QIcon>

#include <csignal>
#include <cstdio>

namespace {

void print(FILE* to, const QString& text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), to);
}

} // namespace

int main(int argc, char** argv)
{
    // The command line is read before Qt starts, so --help and --version
    // work without a display.
    QStringList args;
    for (int i = 1; i < argc; ++i) {
        args << QString::fromLocal8Bit(argv[i]);
    }
    const tolvan::StartOptions options = tolvan::ParseStartOptions(args);
    switch (options.action) {
    case tolvan::StartOptions::Action::Help: print(stdout, tolvan::StartHelpText()); return tolvan::StartOk;
    case tolvan::StartOptions::Action::Version: print(stdout, tolvan::StartVersionText()); return tolvan::StartOk;
    case tolvan::StartOptions::Action::Error:
        print(stderr, QStringLiteral("tolvan-pm: %1\nTry 'tolvan-pm --help'.\n").arg(options.error));
        return tolvan::StartUsage;
    case tolvan::StartOptions::Action::Run: break;
    }

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
    QApplication::setDesktopFileName(QStringLiteral("tolvan-pm"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("tolvan-pm"), QIcon(QStringLiteral(":/128/tolvan-pm.png"))));
    // Screens come and go; the program ends only through the entry screen's QUIT.
    QApplication::setQuitOnLastWindowClosed(false);

    const QString station = tolvan::StationFolder::Choose(options.station, QCoreApplication::applicationDirPath(),
                                                          tolvan::StationFolder::DefaultDataFolder());
    const tolvan::Result<QStringList> prepared = tolvan::StationFolder::Prepare(station);
    if (!prepared.ok()) {
        print(stderr, QStringLiteral("tolvan-pm: %1\n").arg(prepared.error()));
        return tolvan::StartStationUnusable;
    }
    tolvan::MailPost::SetHandOverFolder(station);

    tolvan::QtDialogs dialogs;
    app.setDialogs(&dialogs);
    tolvan::EspeakSpeaker speaker;
    tolvan::X11Desktop desktop;
    tolvan::LinuxProcesses processes;
    tolvan::Clock clock;
    tolvan::AppContext context{tolvan::ConfigStore(station), dialogs, speaker, desktop, processes, clock,
                               tolvan::LocaleText()};

    tolvan::ScreenRegistry registry(context);
    tolvan::registerAllScreens(registry);
    registry.setQuitHook([] { QCoreApplication::exit(0); });
    registry.Show(QStringLiteral("ENTER"));
    return app.exec();
}
