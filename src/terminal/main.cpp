#include "config/ConfigStore.h"
#include "config/StationFolder.h"
#include "terminal/DirewolfConf.h"
#include "terminal/StatusKeeper.h"
#include "terminal/StopSignals.h"
#include "terminal/TerminalEngine.h"
#include "terminal/TerminalSettings.h"
#include "terminal/TerminalWindow.h"
#include "terminal/TncLink.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QTimer>

#include <csignal>
#include <cstdio>

namespace {

void print(FILE* to, const QString& text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), to);
    std::fflush(to);
}

void printEvent(const QJsonObject& event)
{
    QByteArray line = QJsonDocument(event).toJson(QJsonDocument::Compact);
    line += '\n';
    std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    QStringList args;
    for (int i = 1; i < argc; ++i) {
        args << QString::fromLocal8Bit(argv[i]);
    }
    const tolvan::TerminalOptions options = tolvan::ParseTerminalOptions(args);
    switch (options.action) {
    case tolvan::TerminalOptions::Action::Help:
        print(stdout, tolvan::TerminalHelpText());
        return tolvan::TerminalOk;
    case tolvan::TerminalOptions::Action::Version:
        print(stdout, tolvan::TerminalVersionText());
        return tolvan::TerminalOk;
    case tolvan::TerminalOptions::Action::Error:
        print(stderr, QStringLiteral("tolvan-terminal: %1\nTry 'tolvan-terminal --help'.\n").arg(options.error));
        return tolvan::TerminalUsage;
    case tolvan::TerminalOptions::Action::Run:
    case tolvan::TerminalOptions::Action::DirewolfConf:
        break;
    }
    if (options.action == tolvan::TerminalOptions::Action::Run && !options.headless) {
        std::signal(SIGXFSZ, SIG_IGN);
        std::signal(SIGPIPE, SIG_IGN);
        return tolvan::RunTerminalWindow(argc, argv, options);
    }

    // A file-size limit must come back to the writers as a short write.
    std::signal(SIGXFSZ, SIG_IGN);
    std::signal(SIGPIPE, SIG_IGN);
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tolvan-terminal"));

    const QString station = tolvan::StationFolder::Choose(options.station, QCoreApplication::applicationDirPath(),
                                                          tolvan::StationFolder::DefaultDataFolder());
    const tolvan::Result<QStringList> prepared = tolvan::StationFolder::Prepare(station);
    if (!prepared.ok()) {
        print(stderr, QStringLiteral("tolvan-terminal: %1\n").arg(prepared.error()));
        return tolvan::TerminalUnusable;
    }
    const tolvan::ConfigStore store(station);

    if (options.action == tolvan::TerminalOptions::Action::DirewolfConf) {
        const tolvan::Result<tolvan::TerminalSettings> settings = tolvan::LoadTerminalSettings(store, options, false);
        if (!settings.ok()) {
            print(stderr, QStringLiteral("tolvan-terminal: %1\n").arg(settings.error()));
            return tolvan::TerminalUnusable;
        }
        tolvan::DirewolfConf::Station conf;
        conf.call = settings->call;
        conf.agwPort = settings->port;
        const tolvan::Result<tolvan::DirewolfConf::Outcome> written = tolvan::DirewolfConf::Write(station, conf);
        const QString path = tolvan::StationFolder::WithSeparator(station) + tolvan::DirewolfConf::kFileName;
        if (!written.ok()) {
            print(stderr, QStringLiteral("tolvan-terminal: %1\n").arg(written.error()));
            return tolvan::TerminalUnusable;
        }
        print(stdout, written.value() == tolvan::DirewolfConf::Outcome::KeptEdited
                          ? QStringLiteral("%1 was edited and is kept as it is.\n").arg(path)
                          : QStringLiteral("Wrote %1\n").arg(path));
        return tolvan::TerminalOk;
    }

    const tolvan::Result<tolvan::TerminalSettings> settings = tolvan::LoadTerminalSettings(store, options);
    if (!settings.ok()) {
        print(stderr, QStringLiteral("tolvan-terminal: %1\n").arg(settings.error()));
        return tolvan::TerminalUnusable;
    }

    tolvan::TncLink link;
    tolvan::TerminalEngine engine(settings.value(), link);
    QObject::connect(&engine, &tolvan::TerminalEngine::event, &app, printEvent);
    tolvan::ConnectEngine(link, engine);
    // The station program's main menu reads the state from here; the file
    // goes when the keeper does, at a clean end.
    tolvan::StatusKeeper status(engine, station, settings->host, settings->port);
    QObject::connect(&status, &tolvan::StatusKeeper::problem, &app, [](const QString& message) {
        print(stderr, QStringLiteral("tolvan-terminal: %1\n").arg(message));
    });

    const tolvan::Result<> caught = tolvan::CatchStopSignals(&app, [&] {
        engine.stop();
        link.stop();
        // A moment for the last frames and the disconnects to leave.
        QTimer::singleShot(200, &app, &QCoreApplication::quit);
    });
    if (!caught.ok()) {
        print(stderr, QStringLiteral("tolvan-terminal: %1\n").arg(caught.error()));
        return tolvan::TerminalUnusable;
    }

    engine.start();
    link.start(settings->host, settings->port, settings->call, settings->radioPort);
    return app.exec() == 0 ? tolvan::TerminalOk : tolvan::TerminalUnusable;
}
