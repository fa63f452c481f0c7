#pragma once

#include "platform/Result.h"

#include <QByteArray>
#include <QString>

namespace tolvan {

class ConfigStore;

// The Direwolf configuration the terminal writes for its station, so that a
// sound-card modem can be started for it without hand editing.
namespace DirewolfConf {

inline const QString kFileName = QStringLiteral("direwolf.conf");

struct Station {
    QByteArray call;
    quint16 agwPort = 8000;
    QString soundDevice = QStringLiteral("default");
    int modemBaud = 1200;
};

// The whole file. Its first line carries a check of the rest, so that a
// copy the operator edited can be told from one this program wrote.
QByteArray Text(const Station& station);

// Whether text is exactly a file this program wrote (in any version of it):
// its check line matches the rest.
bool IsUnedited(const QByteArray& text);

enum class Outcome { Written, Replaced, KeptEdited };

// Writes stationFolder/direwolf.conf when it is missing or still unedited;
// an edited one is kept as it is. The file is replaced whole, never left
// half written.
Result<Outcome> Write(const QString& stationFolder, const Station& station);

// The path of the station's configuration.
QString PathFor(const ConfigStore& store);

// Whether the station's call sign is stored (terminalcall.dat holds text).
bool CallSignStored(const ConfigStore& store);

// Writes the station's configuration into its station folder with the call
// sign and AGW port the terminal uses, as tolvan-terminal --direwolf-conf
// does. A failure names what is missing or wrong, for the operator.
Result<Outcome> WriteForStation(const ConfigStore& store);

} // namespace DirewolfConf
} // namespace tolvan
