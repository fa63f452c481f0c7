// 7PLUS commands of tolvan-codec: encode a file into a part set, rebuild a
// file from a received set. The same codec as the 7PLUS screen.

#include "CommandTable.h"

#include "sevenplus/Mod7plus.h"

#include <QFileInfo>

namespace tolvan::codec {

namespace {

// One path and an optional --yes, in any order.
bool parse(const QStringList& args, QString& path, bool& yes)
{
    yes = false;
    path.clear();
    for (const QString& a : args) {
        if (a == QLatin1String("--yes")) {
            yes = true;
        } else if (a.startsWith(QLatin1String("--")) || !path.isEmpty() || a.isEmpty()) {
            return false;
        } else {
            path = a;
        }
    }
    return !path.isEmpty();
}

int run(const QStringList& args, const Output& io,
        Result<QString> (*operation)(const QString&, const Mod7plus::Host&))
{
    QString path;
    bool yes = false;
    if (!parse(args, path, yes)) {
        return ExitUsage;
    }
    // The codec wants a full path; the shell gives whatever the user typed.
    const QString full = QFileInfo(path).absoluteFilePath();
    Mod7plus::Host host;
    // Without --yes every replace question is answered No, so nothing that
    // exists is overwritten and the command fails with the codec's message.
    host.askYesNo = [yes](const QString&, const QString&) { return yes; };
    const Result<QString> done = operation(full, host);
    if (done.ok()) {
        io.out(terminalText(done.value()));
        return ExitOk;
    }
    io.err(terminalText(done.error()));
    return ExitFailed;
}

} // namespace

void registerSevenPlusCommands(CommandTable& table)
{
    table.add({QStringLiteral("7plus-encode"), QStringLiteral("FILE [--yes]"),
               QStringLiteral("Encode FILE into 7PLUS parts in \"7PLUS_OUTPUT\" beside it; "
                              "--yes replaces an existing set of the same name."),
               [](const QStringList& a, const Output& io) {
                   return run(a, io, [](const QString& file, const Mod7plus::Host& host) {
                       return Mod7plus::Encode7PlusFile(file, host);
                   });
               }});
    table.add({QStringLiteral("7plus-decode"), QStringLiteral("PART1 [--yes]"),
               QStringLiteral("Rebuild the file of the set whose part 1 is PART1 into \"7PLUS_RECEIVED\" beside it; "
                              "--yes replaces an existing output."),
               [](const QStringList& a, const Output& io) { return run(a, io, &Mod7plus::DecodeReceived7Plus); }});
}

} // namespace tolvan::codec
