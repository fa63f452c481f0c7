#include "app/StartOptions.h"

#ifndef TOLVAN_VERSION
#define TOLVAN_VERSION "unknown"
#endif

namespace tolvan {

namespace {

// Qt's window-system options that take a value, and those that take none.
const QStringList kQtWithValue = {QStringLiteral("-platform"), QStringLiteral("-display"), QStringLiteral("-style"),
                                  QStringLiteral("-stylesheet"), QStringLiteral("-qwindowgeometry"),
                                  QStringLiteral("-qwindowtitle"), QStringLiteral("-qwindowicon")};
const QStringList kQtFlags = {QStringLiteral("-reverse"), QStringLiteral("-widgetcount")};

} // namespace

StartOptions ParseStartOptions(const QStringList& args)
{
    StartOptions o;
    auto fail = [&o](const QString& text) {
        o.action = StartOptions::Action::Error;
        o.error = text;
        return o;
    };
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == u"--help" || a == u"-h") {
            o.action = StartOptions::Action::Help;
            return o;
        }
        if (a == u"--version") {
            o.action = StartOptions::Action::Version;
            return o;
        }
        if (a == u"--station" || a.startsWith(QLatin1String("--station="))) {
            QString value;
            if (a == u"--station") {
                if (i + 1 >= args.size()) {
                    return fail(QStringLiteral("option --station needs a folder"));
                }
                value = args[++i];
            } else {
                value = a.mid(10);
            }
            if (value.isEmpty()) {
                return fail(QStringLiteral("option --station needs a folder"));
            }
            if (!o.station.isEmpty()) {
                return fail(QStringLiteral("option --station given twice"));
            }
            o.station = value;
            continue;
        }
        if (kQtWithValue.contains(a)) {
            if (i + 1 >= args.size()) {
                return fail(QStringLiteral("option %1 needs a value").arg(a));
            }
            o.qtArgs << a << args[++i];
            continue;
        }
        if (kQtFlags.contains(a)) {
            o.qtArgs << a;
            continue;
        }
        if (a.startsWith(u'-')) {
            return fail(QStringLiteral("unknown option \"%1\"").arg(a));
        }
        return fail(QStringLiteral("unexpected argument \"%1\"").arg(a));
    }
    return o;
}

QString StartHelpText()
{
    return QStringLiteral(
        "Usage: tolvan-pm [--station DIR]\n"
        "\n"
        "Packet-mail station manager: writes outgoing mail into the send folder of\n"
        "the station's packet program, watches its receive folder and announces\n"
        "arrivals.\n"
        "\n"
        "Options:\n"
        "  --station DIR  keep this station's settings and files in DIR (created on\n"
        "                 first use); run one copy per station to keep two call\n"
        "                 signs apart\n"
        "  --help         show this text and exit\n"
        "  --version      show the version and exit\n"
        "\n"
        "Without --station the station folder is the program's own folder when that\n"
        "is a writable copy outside the system folders, otherwise\n"
        "$XDG_DATA_HOME/tolvan-pm (~/.local/share/tolvan-pm).\n"
        "\n"
        "Exit status: 0 when ended through QUIT, 1 when the station folder cannot\n"
        "be used, 2 for a wrong command line.\n");
}

QString StartVersionText()
{
    return QStringLiteral("tolvan-pm " TOLVAN_VERSION "\n");
}

} // namespace tolvan
