// tolvan-codec: the program's codecs from the command line, one subcommand
// per operation (tolvan-codec 7plus-encode FILE, ...).

#include "CommandTable.h"

#include "platform/ReceivedName.h"

#include <QCoreApplication>

#include <csignal>
#include <cstdio>

// Every command file of this folder, one line each. To add one (the PMBA and
// mail commands belong in their own PmbaCommands.cpp / MailCommands.cpp), add
// "    X(registerPmbaCommands) \\" above the end marker and its source line in CMakeLists.txt.
#define TOLVAN_CODEC_COMMAND_FILES(X) \
    X(registerSevenPlusCommands)      \
    X(registerMailCommands)           \
    X(registerMonitorCommands)        \
    /* end of the command files */

namespace tolvan::codec {
#define TOLVAN_DECLARE(fn) void fn(CommandTable& table);
TOLVAN_CODEC_COMMAND_FILES(TOLVAN_DECLARE)
#undef TOLVAN_DECLARE
} // namespace tolvan::codec

int main(int argc, char** argv)
{
    // A file-size limit must come back to the writers as a short write, so
    // they fail cleanly and remove their temporary files, instead of killing
    // the process half way through a file.
    std::signal(SIGXFSZ, SIG_IGN);
    QCoreApplication app(argc, argv);
    using namespace tolvan::codec;

    CommandTable table;
#define TOLVAN_REGISTER(fn) fn(table);
    TOLVAN_CODEC_COMMAND_FILES(TOLVAN_REGISTER)
#undef TOLVAN_REGISTER

    // Arguments are UTF-8 whatever the locale says.
    QStringList args;
    for (int i = 1; i < argc; ++i) {
        args << QString::fromUtf8(argv[i]);
    }
    const Output io{[](const QString& s) {
                        const QByteArray b = s.toUtf8();
                        std::fwrite(b.constData(), 1, size_t(b.size()), stdout);
                    },
                    [](const QString& s) {
                        // Failure texts quote names from other stations: a
                        // control character in one must not reach the terminal.
                        const QByteArray b = tolvan::ReceivedName::Printable(s).toUtf8();
                        std::fwrite(b.constData(), 1, size_t(b.size()), stderr);
                    }};
    return table.dispatch(args, io);
}
