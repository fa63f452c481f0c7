#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <map>
#include <vector>

namespace tolvan::codec {

// What a command returns to the shell.
enum ExitStatus { ExitOk = 0, ExitFailed = 1, ExitUsage = 2 };

// Where a command writes: its report and its failure text.
struct Output {
    std::function<void(const QString&)> out;
    std::function<void(const QString&)> err;
};

struct Command {
    QString name;      // first argument, e.g. "7plus-encode"
    QString synopsis;  // arguments after the name, e.g. "FILE [--yes]"
    QString summary;   // one line for the usage text
    // Gets the arguments after the name; returns an ExitStatus. A command
    // that returns ExitUsage has its synopsis printed for it.
    std::function<int(const QStringList& args, const Output& io)> run;
};

// The subcommands of tolvan-codec. Each command file adds its own commands,
// so new ones never touch the others.
class CommandTable {
public:
    void add(Command command) { m_commands.push_back(std::move(command)); }
    const Command* find(const QString& name) const;
    QString usage() const;
    // Runs argv[1..]; prints usage for an unknown command or bad arguments.
    int dispatch(const QStringList& args, const Output& io) const;

private:
    std::vector<Command> m_commands;
};

// A command's arguments: positional ones plus "--name value" options from a
// fixed set and "--flag" switches; anything else is bad usage.
struct Args {
    QStringList positional;
    std::map<QString, QString> options;
    bool yes = false;
    bool lossy = false; // text the code page cannot hold may be written as "?"
};

enum Switch { NoSwitch = 0, YesSwitch = 1, LossySwitch = 2 };

// False for bad usage: an unknown option or switch, an option given twice or
// without its value, an empty argument, or not exactly `positionals` others.
bool parseArgs(const QStringList& args, qsizetype positionals, const QStringList& valueOptions, int switches,
               Args& out);

// The value of an option, empty when it was not given.
QString option(const Args& a, const char* name);

// Turns the codec's CR LF reports into the terminal's line ends.
QString terminalText(QString text);

} // namespace tolvan::codec
