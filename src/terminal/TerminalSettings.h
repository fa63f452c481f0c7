#pragma once

#include "platform/Result.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace tolvan {

class ConfigStore;

// The terminal's settings: one value per store file in the station folder,
// each of which a command-line option may override for one run.
namespace TerminalStore {
inline const QString kCall = QStringLiteral("terminalcall.dat");
inline const QString kHost = QStringLiteral("tnchost.dat");
inline const QString kPort = QStringLiteral("tncport.dat");
inline const QString kRadioPort = QStringLiteral("radioport.dat");
inline const QString kPath = QStringLiteral("digipath.dat");
inline const QString kAllowed = QStringLiteral("allowedcalls.dat");
} // namespace TerminalStore

// What the command line of tolvan-terminal asks for.
struct TerminalOptions {
    enum class Action { Run, Help, Version, DirewolfConf, Error };
    Action action = Action::Run;
    bool headless = false;
    QString station;
    QString error; // for Action::Error: what is wrong, naming the option
    std::optional<QString> call;
    std::optional<QString> tnc; // HOST:PORT
    std::optional<QString> radioPort;
    std::optional<QString> path;
    std::optional<QString> to;
};

// Exit statuses of tolvan-terminal.
enum TerminalExit { TerminalOk = 0, TerminalUnusable = 1, TerminalUsage = 2 };

TerminalOptions ParseTerminalOptions(const QStringList& args);
QString TerminalHelpText();
QString TerminalVersionText();

struct TerminalSettings {
    QByteArray call; // own call sign with SSID, upper case
    QString host = QStringLiteral("127.0.0.1");
    quint16 port = 8000;
    quint8 radioPort = 0;
    QList<QByteArray> path;    // digipeaters, in order
    QList<QByteArray> allowed; // empty: every station may send
    QByteArray to;             // destination of files that name none
    QString sendFolder;        // absolute, ending with "/"
    QString receiveFolder;     // absolute, ending with "/"

    bool allows(const QByteArray& peer) const;
};

// A call sign as AX.25 carries it: 1 to 6 letters and digits, at least one
// of each, optionally "-" and an SSID 0 to 15. The value is the upper-case
// form; a failure says what is wrong with text.
Result<QByteArray> CheckCallSign(const QString& text);
// The call as the TNC names it: upper case, "-0" dropped.
QByteArray NormalCall(const QByteArray& call);
// A comma-separated list of call signs; empty text is an empty list.
Result<QList<QByteArray>> CheckCallList(const QString& text, const QString& what);

// Puts the values of the override options into s; a bad value is a failure
// naming the option.
Result<> ApplyOptionOverrides(const TerminalOptions& options, TerminalSettings& s);

// Reads the settings of store and applies the overrides of options. Each
// failure names the file or option and what is wrong with it. With folders,
// the send and receive folders are read too and must exist.
Result<TerminalSettings> LoadTerminalSettings(const ConfigStore& store, const TerminalOptions& options,
                                              bool folders = true);

} // namespace tolvan
