#include "terminal/TerminalSettings.h"

#include "config/ConfigStore.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

namespace tolvan {

namespace {

// Options that take a value, and where the value goes.
std::optional<QString>* valueSlot(TerminalOptions& o, const QString& name)
{
    if (name == QLatin1String("--call"))
        return &o.call;
    if (name == QLatin1String("--tnc"))
        return &o.tnc;
    if (name == QLatin1String("--radio-port"))
        return &o.radioPort;
    if (name == QLatin1String("--path"))
        return &o.path;
    if (name == QLatin1String("--to"))
        return &o.to;
    return nullptr;
}

// A store value: the first line with surrounding blanks removed; empty when
// the file is missing or empty. Other read faults are failures.
Result<QString> storeText(const ConfigStore& store, const QString& name)
{
    const StoreValue<QString> line = store.ReadStoreLine(name);
    if (line.error == StoreError::FileNotFound || line.error == StoreError::EndOfFile) {
        return QString();
    }
    if (!line.ok()) {
        return Fail(QStringLiteral("%1 cannot be read: %2").arg(name, line.message));
    }
    return line.value.trimmed();
}

Result<quint16> checkPort(const QString& text, const QString& what)
{
    bool ok = false;
    const int n = text.toInt(&ok);
    if (!ok || n < 1 || n > 65535) {
        return Fail(QStringLiteral("%1: \"%2\" is not a TCP port (a number from 1 to 65535).").arg(what, text));
    }
    return quint16(n);
}

Result<QString> folder(const ConfigStore& store, const QString& name, const QString& what)
{
    const StoreValue<QString> line = store.ReadStoreLine(name);
    if (!line.ok()) {
        return Fail(QStringLiteral("The %1 folder is not set up (%2: %3). Choose it with SETUP in tolvan-pm.")
                        .arg(what, name, line.message));
    }
    QString path = line.value.trimmed();
    if (path.size() >= 2 && path.startsWith(u'"') && path.endsWith(u'"')) {
        path = path.mid(1, path.size() - 2);
    }
    const QFileInfo info(path);
    if (path.isEmpty() || !info.isDir()) {
        return Fail(QStringLiteral("The %1 folder \"%2\" named in %3 does not exist.").arg(what, path, name));
    }
    QString absolute = info.absoluteFilePath();
    if (!absolute.endsWith(u'/')) {
        absolute += u'/';
    }
    return absolute;
}

} // namespace

TerminalOptions ParseTerminalOptions(const QStringList& args)
{
    TerminalOptions o;
    auto fail = [&o](const QString& why) {
        o.action = TerminalOptions::Action::Error;
        o.error = why;
        return o;
    };
    for (qsizetype i = 0; i < args.size(); ++i) {
        QString arg = args[i];
        QString value;
        bool hasValue = false;
        if (arg.startsWith(QLatin1String("--")) && arg.contains(u'=')) {
            value = arg.mid(arg.indexOf(u'=') + 1);
            arg = arg.left(arg.indexOf(u'='));
            hasValue = true;
        }
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            o.action = TerminalOptions::Action::Help;
            return o;
        }
        if (arg == QLatin1String("--version")) {
            o.action = TerminalOptions::Action::Version;
            return o;
        }
        if (arg == QLatin1String("--headless") || arg == QLatin1String("--direwolf-conf")) {
            if (hasValue) {
                return fail(QStringLiteral("%1 takes no value").arg(arg));
            }
            if (arg == QLatin1String("--headless")) {
                o.headless = true;
            } else {
                o.action = TerminalOptions::Action::DirewolfConf;
            }
            continue;
        }
        std::optional<QString>* slot = valueSlot(o, arg);
        QString* stationSlot = arg == QLatin1String("--station") ? &o.station : nullptr;
        if (!slot && !stationSlot) {
            return fail(QStringLiteral("unknown option \"%1\"").arg(arg));
        }
        if (!hasValue) {
            if (i + 1 >= args.size()) {
                return fail(QStringLiteral("%1 needs a value").arg(arg));
            }
            value = args[++i];
        }
        if (stationSlot) {
            if (value.isEmpty()) {
                return fail(QStringLiteral("--station needs a folder"));
            }
            *stationSlot = value;
        } else {
            *slot = value;
        }
    }
    // Option values are checked here, so a bad one is a usage error and
    // nothing has been touched yet.
    TerminalSettings probe;
    const Result<> checked = ApplyOptionOverrides(o, probe);
    if (!checked.ok()) {
        return fail(checked.error());
    }
    return o;
}

QString TerminalHelpText()
{
    return QStringLiteral("Usage: tolvan-terminal [--station DIR] [--headless] [--call CALL[-SSID]] [--tnc HOST:PORT]\n"
                          "                       [--radio-port N] [--path DIGI1,DIGI2] [--to CALL] [--direwolf-conf]\n"
                          "\n"
                          "Sends every file waiting in the send folder to other stations over AX.25 through an\n"
                          "AGW-speaking TNC (such as Direwolf) with YAPP, and writes files that other stations\n"
                          "send into the receive folder.\n"
                          "\n"
                          "Options:\n"
                          "  --station DIR       the station folder (as for tolvan-pm)\n"
                          "  --headless          run without a window; print one JSON line per event;\n"
                          "                      stop with SIGTERM or SIGINT\n"
                          "  --call CALL[-SSID]  this station's call sign (terminalcall.dat)\n"
                          "  --tnc HOST:PORT     the TNC's AGW address (tnchost.dat, tncport.dat; 127.0.0.1:8000)\n"
                          "  --radio-port N      the TNC's radio port, from 0 (radioport.dat; 0)\n"
                          "  --path DIGI1,DIGI2  digipeaters to connect through (digipath.dat; none)\n"
                          "  --to CALL           destination of files that name no station\n"
                          "  --direwolf-conf     write direwolf.conf for this station into the station folder\n"
                          "                      (an edited one is kept) and end\n"
                          "  --help              show this text; --version its version\n"
                          "\n"
                          "Settings files in the station folder, one value each:\n"
                          "  terminalcall.dat  tnchost.dat  tncport.dat  radioport.dat  digipath.dat\n"
                          "  allowedcalls.dat  (comma-separated; missing or empty: every station may send)\n"
                          "  send.dat and receive.dat name the send and receive folders.\n"
                          "\n"
                          "Exit status: 0 stopped by a signal or done, 1 station folder or settings unusable,\n"
                          "2 bad options.\n");
}

QString TerminalVersionText()
{
    return QStringLiteral("tolvan-terminal %1\n").arg(QStringLiteral(TOLVAN_VERSION));
}

bool TerminalSettings::allows(const QByteArray& peer) const
{
    if (allowed.isEmpty()) {
        return true;
    }
    for (const QByteArray& a : allowed) {
        // A call without SSID allows every SSID of that station.
        if (a == peer ||
            (!a.contains('-') && peer.left(peer.indexOf('-') < 0 ? peer.size() : peer.indexOf('-')) == a)) {
            return true;
        }
    }
    return false;
}

Result<QByteArray> CheckCallSign(const QString& text)
{
    static const QRegularExpression form(QStringLiteral("^([A-Z0-9]{1,6})(?:-([0-9]{1,2}))?$"));
    const QString call = text.trimmed().toUpper();
    const QRegularExpressionMatch m = form.match(call);
    const QString why = QStringLiteral("\"%1\" is not a call sign: ").arg(text);
    if (!m.hasMatch()) {
        return Fail(why + QStringLiteral("it must be 1 to 6 letters and digits, optionally \"-\" and an SSID "
                                         "from 0 to 15, such as N0CALL-1."));
    }
    const QString base = m.captured(1);
    if (!base.contains(QRegularExpression(QStringLiteral("[0-9]"))) ||
        !base.contains(QRegularExpression(QStringLiteral("[A-Z]")))) {
        return Fail(why + QStringLiteral("a call sign holds both letters and digits."));
    }
    if (m.capturedLength(2) > 0 && m.captured(2).toInt() > 15) {
        return Fail(why + QStringLiteral("the SSID must be from 0 to 15."));
    }
    return NormalCall(call.toLatin1());
}

QByteArray NormalCall(const QByteArray& call)
{
    // SSID 0 is the bare call: the TNC reports the station without it.
    return call.endsWith("-0") ? call.left(call.size() - 2) : call;
}

Result<QList<QByteArray>> CheckCallList(const QString& text, const QString& what)
{
    QList<QByteArray> calls;
    for (const QString& part : text.split(u',', Qt::SkipEmptyParts)) {
        if (part.trimmed().isEmpty()) {
            continue;
        }
        const Result<QByteArray> call = CheckCallSign(part);
        if (!call.ok()) {
            return Fail(what + QStringLiteral(": ") + call.error());
        }
        calls << call.value();
    }
    return calls;
}

Result<> ApplyOptionOverrides(const TerminalOptions& options, TerminalSettings& s)
{
    if (options.call) {
        const Result<QByteArray> call = CheckCallSign(*options.call);
        if (!call.ok()) {
            return Fail(QStringLiteral("--call: ") + call.error());
        }
        s.call = call.value();
    }
    if (options.tnc) {
        const QString tnc = *options.tnc;
        const qsizetype colon = tnc.lastIndexOf(u':');
        if (colon <= 0) {
            return Fail(QStringLiteral("--tnc: \"%1\" is not HOST:PORT.").arg(tnc));
        }
        const Result<quint16> port = checkPort(tnc.mid(colon + 1), QStringLiteral("--tnc"));
        if (!port.ok()) {
            return port.failure();
        }
        s.host = tnc.left(colon);
        s.port = port.value();
    }
    if (options.radioPort) {
        bool ok = false;
        const int n = options.radioPort->toInt(&ok);
        if (!ok || n < 0 || n > 255) {
            return Fail(QStringLiteral("--radio-port: \"%1\" is not a radio port (a number from 0 to 255).")
                            .arg(*options.radioPort));
        }
        s.radioPort = quint8(n);
    }
    if (options.path) {
        const Result<QList<QByteArray>> digis = CheckCallList(*options.path, QStringLiteral("--path"));
        if (!digis.ok()) {
            return digis.failure();
        }
        if (digis.value().size() > 7) {
            return Fail(
                QStringLiteral("--path: at most 7 digipeaters can be used; %1 are given.").arg(digis.value().size()));
        }
        s.path = digis.value();
    }
    if (options.to) {
        const Result<QByteArray> to = CheckCallSign(*options.to);
        if (!to.ok()) {
            return Fail(QStringLiteral("--to: ") + to.error());
        }
        s.to = to.value();
    }
    return {};
}

Result<TerminalSettings> LoadTerminalSettings(const ConfigStore& store, const TerminalOptions& options, bool folders)
{
    TerminalSettings s;
    const Result<QString> call = storeText(store, TerminalStore::kCall);
    if (!call.ok()) {
        return call.failure();
    }
    if (!call.value().isEmpty()) {
        const Result<QByteArray> own = CheckCallSign(call.value());
        if (!own.ok()) {
            return Fail(TerminalStore::kCall + QStringLiteral(": ") + own.error());
        }
        s.call = own.value();
    }
    const Result<QString> host = storeText(store, TerminalStore::kHost);
    if (!host.ok()) {
        return host.failure();
    }
    if (!host.value().isEmpty()) {
        s.host = host.value();
    }
    const Result<QString> port = storeText(store, TerminalStore::kPort);
    if (!port.ok()) {
        return port.failure();
    }
    if (!port.value().isEmpty()) {
        const Result<quint16> number = checkPort(port.value(), TerminalStore::kPort);
        if (!number.ok()) {
            return number.failure();
        }
        s.port = number.value();
    }
    const Result<QString> radio = storeText(store, TerminalStore::kRadioPort);
    if (!radio.ok()) {
        return radio.failure();
    }
    if (!radio.value().isEmpty()) {
        bool ok = false;
        const int n = radio.value().toInt(&ok);
        if (!ok || n < 0 || n > 255) {
            return Fail(QStringLiteral("%1: \"%2\" is not a radio port (a number from 0 to 255).")
                            .arg(TerminalStore::kRadioPort, radio.value()));
        }
        s.radioPort = quint8(n);
    }
    const Result<QString> path = storeText(store, TerminalStore::kPath);
    if (!path.ok()) {
        return path.failure();
    }
    const Result<QList<QByteArray>> digis = CheckCallList(path.value(), TerminalStore::kPath);
    if (!digis.ok()) {
        return digis.failure();
    }
    if (digis.value().size() > 7) {
        return Fail(QStringLiteral("%1: at most 7 digipeaters can be used; %2 are given.")
                        .arg(TerminalStore::kPath)
                        .arg(digis.value().size()));
    }
    s.path = digis.value();
    const Result<QString> allowed = storeText(store, TerminalStore::kAllowed);
    if (!allowed.ok()) {
        return allowed.failure();
    }
    const Result<QList<QByteArray>> calls = CheckCallList(allowed.value(), TerminalStore::kAllowed);
    if (!calls.ok()) {
        return calls.failure();
    }
    s.allowed = calls.value();

    const Result<> overridden = ApplyOptionOverrides(options, s);
    if (!overridden.ok()) {
        return overridden.failure();
    }
    if (s.call.isEmpty()) {
        return Fail(QStringLiteral("No call sign is set for this station: write it (with its SSID) into %1 in the "
                                   "station folder, or give --call.")
                        .arg(TerminalStore::kCall));
    }
    if (!folders) {
        return s;
    }
    const Result<QString> send = folder(store, QStringLiteral("send.dat"), QStringLiteral("send"));
    if (!send.ok()) {
        return send.failure();
    }
    s.sendFolder = send.value();
    const Result<QString> receive = folder(store, QStringLiteral("receive.dat"), QStringLiteral("receive"));
    if (!receive.ok()) {
        return receive.failure();
    }
    s.receiveFolder = receive.value();
    return s;
}

} // namespace tolvan
