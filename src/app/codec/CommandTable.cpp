#include "CommandTable.h"

#ifndef TOLVAN_VERSION
#define TOLVAN_VERSION "unknown"
#endif

namespace tolvan::codec {

const Command* CommandTable::find(const QString& name) const
{
    for (const Command& c : m_commands) {
        if (c.name == name) {
            return &c;
        }
    }
    return nullptr;
}

QString CommandTable::usage() const
{
    QString text = QStringLiteral("Usage: tolvan-codec COMMAND [ARGUMENTS]\n"
                                  "       tolvan-codec --help | --version\n\n"
                                  "Exit status: 0 done, 1 the command failed, 2 wrong command line.\n\n"
                                  "Commands:\n");
    for (const Command& c : m_commands) {
        text += QStringLiteral("  %1 %2\n      %3\n").arg(c.name, c.synopsis, c.summary);
    }
    return text;
}

int CommandTable::dispatch(const QStringList& args, const Output& io) const
{
    if (args.isEmpty()) {
        io.err(usage());
        return ExitUsage;
    }
    if (args.front() == QLatin1String("--help") || args.front() == QLatin1String("-h")) {
        io.out(usage());
        return ExitOk;
    }
    if (args.front() == QLatin1String("--version")) {
        io.out(QStringLiteral("tolvan-codec " TOLVAN_VERSION "\n"));
        return ExitOk;
    }
    const Command* c = find(args.front());
    if (!c) {
        io.err(QStringLiteral("tolvan-codec: unknown command \"%1\"\n\n").arg(args.front()) + usage());
        return ExitUsage;
    }
    const int status = c->run(args.mid(1), io);
    if (status == ExitUsage) {
        io.err(QStringLiteral("Usage: tolvan-codec %1 %2\n").arg(c->name, c->synopsis));
    }
    return status;
}

bool parseArgs(const QStringList& args, qsizetype positionals, const QStringList& valueOptions, int switches,
               Args& out)
{
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a.startsWith(QLatin1String("--"))) {
            const QString name = a.mid(2);
            if ((switches & YesSwitch) && name == QLatin1String("yes")) {
                out.yes = true;
            } else if ((switches & LossySwitch) && name == QLatin1String("lossy")) {
                out.lossy = true;
            } else if (valueOptions.contains(name) && i + 1 < args.size() && !out.options.count(name)) {
                out.options[name] = args[++i];
            } else {
                return false;
            }
        } else if (a.isEmpty() || out.positional.size() == positionals) {
            return false;
        } else {
            out.positional << a;
        }
    }
    return out.positional.size() == positionals;
}

QString option(const Args& a, const char* name)
{
    const auto it = a.options.find(QString::fromLatin1(name));
    return it == a.options.end() ? QString() : it->second;
}

QString terminalText(QString text)
{
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    if (!text.endsWith(QLatin1Char('\n'))) {
        text += QLatin1Char('\n');
    }
    return text;
}

} // namespace tolvan::codec
