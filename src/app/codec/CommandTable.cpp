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

QString terminalText(QString text)
{
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    if (!text.endsWith(QLatin1Char('\n'))) {
        text += QLatin1Char('\n');
    }
    return text;
}

} // namespace tolvan::codec
