#include "terminal/DirewolfConf.h"

#include "config/ConfigStore.h"
#include "platform/SafeFile.h"
#include "terminal/TerminalSettings.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>

namespace tolvan::DirewolfConf {

namespace {

const QByteArray kMark = "# Written by tolvan-terminal --direwolf-conf; check ";

QByteArray checkOf(const QByteArray& body)
{
    return QCryptographicHash::hash(body, QCryptographicHash::Sha1).toHex().left(16);
}

} // namespace

QByteArray Text(const Station& s)
{
    QByteArray body;
    body += "# Direwolf configuration for the TOLVAN Terminal of " + s.call + ".\n";
    body += "# Once you edit this file, tolvan-terminal --direwolf-conf leaves it alone.\n";
    body += "ADEVICE " + s.soundDevice.toLocal8Bit() + "\n";
    body += "ACHANNELS 1\n";
    body += "ARATE 48000\n";
    body += "CHANNEL 0\n";
    body += "MYCALL " + s.call + "\n";
    body += "MODEM " + QByteArray::number(s.modemBaud) + "\n";
    body += "AGWPORT " + QByteArray::number(s.agwPort) + "\n";
    body += "KISSPORT 0\n";
    // Connected mode as the terminal uses it: full frames, a few retries.
    body += "PACLEN 256\n";
    body += "MAXFRAME 7\n";
    body += "EMAXFRAME 32\n";
    body += "FRACK 3\n";
    body += "RETRY 10\n";
    return kMark + checkOf(body) + "\n" + body;
}

bool IsUnedited(const QByteArray& text)
{
    const qsizetype end = text.indexOf('\n');
    if (!text.startsWith(kMark) || end < 0) {
        return false;
    }
    return text.mid(kMark.size(), end - kMark.size()) == checkOf(text.mid(end + 1));
}

Result<Outcome> Write(const QString& stationFolder, const Station& station)
{
    QString folder = stationFolder;
    if (!folder.endsWith(u'/')) {
        folder += u'/';
    }
    const QString path = folder + kFileName;
    Outcome outcome = Outcome::Written;
    QFile existing(path);
    if (existing.exists()) {
        if (!existing.open(QIODevice::ReadOnly)) {
            return Fail(QStringLiteral("%1 cannot be read: %2").arg(path, existing.errorString()));
        }
        const QByteArray text = existing.read(1 << 20);
        if (!IsUnedited(text)) {
            return Outcome::KeptEdited;
        }
        if (text == Text(station)) {
            return Outcome::Replaced; // already as it would be written
        }
        outcome = Outcome::Replaced;
    }
    const Result<> written = SafeFile::replace(path, Text(station));
    if (!written.ok()) {
        return written.failure();
    }
    return outcome;
}

QString PathFor(const ConfigStore& store)
{
    return QDir(store.programFolder()).absoluteFilePath(kFileName);
}

bool CallSignStored(const ConfigStore& store)
{
    const StoreValue<QString> call = store.ReadStoreLine(TerminalStore::kCall);
    return call.ok() && !call.value.trimmed().isEmpty();
}

Result<Outcome> WriteForStation(const ConfigStore& store)
{
    if (!CallSignStored(store)) {
        return Fail(QStringLiteral("The station's call sign is not set: type it in \"Station call sign\" on the "
                                   "SETTINGS screen."));
    }
    const Result<TerminalSettings> settings = LoadTerminalSettings(store, {}, false);
    if (!settings.ok()) {
        return settings.failure();
    }
    Station station;
    station.call = settings->call;
    station.agwPort = settings->port;
    return Write(QDir(store.programFolder()).absolutePath(), station);
}

} // namespace tolvan::DirewolfConf
