#pragma once

#include <QString>
#include <QStringList>

namespace tolvan {

// What the command line of tolvan-pm asks for.
struct StartOptions {
    enum class Action { Run, Help, Version, Error };
    Action action = Action::Run;
    QString station;     // --station DIR; empty for the default choice
    QString error;       // for Action::Error, names the offending argument
    QStringList qtArgs;  // options left for Qt (-platform, -display, ...)
};

// Exit statuses of tolvan-pm.
enum StartExit { StartOk = 0, StartStationUnusable = 1, StartUsage = 2 };

// args are argv[1..]. Qt's own single-dash window options pass through; any
// other option is an error, so a mistyped one is never silently ignored.
StartOptions ParseStartOptions(const QStringList& args);

QString StartHelpText();
QString StartVersionText();

} // namespace tolvan
