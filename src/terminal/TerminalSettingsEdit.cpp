#include "terminal/TerminalSettingsEdit.h"

#include "config/ConfigStore.h"
#include "terminal/TerminalSettings.h"

namespace tolvan {

namespace {

QString joined(const QList<QByteArray>& calls)
{
    QStringList out;
    for (const QByteArray& c : calls) {
        out << QString::fromLatin1(c);
    }
    return out.join(QStringLiteral(","));
}

// The field's text as it is stored: call signs upper case, lists without blanks.
QString normal(TerminalSettingsTexts::Field field, const QString& text)
{
    switch (field) {
    case TerminalSettingsTexts::Call:
        return QString::fromLatin1(CheckCallSign(text).value());
    case TerminalSettingsTexts::Path:
    case TerminalSettingsTexts::Allowed:
        return joined(CheckCallList(text, {}).value());
    default:
        return text.trimmed();
    }
}

int numberIn(const QString& text, int low, int high)
{
    bool ok = false;
    const int n = text.trimmed().toInt(&ok);
    return ok && n >= low && n <= high ? n : -1;
}

} // namespace

QString TerminalSettingsTexts::FileOf(Field field)
{
    switch (field) {
    case Call:
        return TerminalStore::kCall;
    case Host:
        return TerminalStore::kHost;
    case Port:
        return TerminalStore::kPort;
    case RadioPort:
        return TerminalStore::kRadioPort;
    case Path:
        return TerminalStore::kPath;
    case Allowed:
        return TerminalStore::kAllowed;
    case FieldCount:
        break;
    }
    return {};
}

TerminalSettingsTexts TerminalSettingsTexts::Read(const ConfigStore& store)
{
    TerminalSettingsTexts t;
    const TerminalSettings defaults;
    t[Host] = defaults.host;
    t[Port] = QString::number(defaults.port);
    t[RadioPort] = QString::number(defaults.radioPort);
    for (int f = 0; f < FieldCount; ++f) {
        const StoreValue<QString> line = store.ReadStoreLine(FileOf(Field(f)));
        if (line.ok() && !line.value.trimmed().isEmpty()) {
            t.text[f] = line.value.trimmed();
        }
    }
    return t;
}

QString TerminalSettingsTexts::Check(Field field, const QString& text)
{
    switch (field) {
    case Call: {
        if (text.trimmed().isEmpty()) {
            return QStringLiteral("The station's call sign is needed, with its SSID if it has one (N0CALL-1).");
        }
        const Result<QByteArray> call = CheckCallSign(text);
        return call.ok() ? QString() : call.error();
    }
    case Host:
        if (text.trimmed().isEmpty()) {
            return QStringLiteral("Give the TNC's host name or address (127.0.0.1 when it runs on this computer).");
        }
        if (text.trimmed().contains(u' ') || text.contains(u':')) {
            return QStringLiteral("\"%1\" is not a host name or address: no blanks or \":\"; the port has its own "
                                  "box.")
                .arg(text.trimmed());
        }
        return {};
    case Port:
        return numberIn(text, 1, 65535) < 0
                   ? QStringLiteral("\"%1\" is not a TCP port: give a number from 1 to 65535 (Direwolf: 8000).")
                         .arg(text.trimmed())
                   : QString();
    case RadioPort:
        return numberIn(text, 0, 255) < 0
                   ? QStringLiteral("\"%1\" is not a radio port: give a number from 0 to 255 (the TNC's first is 0).")
                         .arg(text.trimmed())
                   : QString();
    case Path: {
        const Result<QList<QByteArray>> digis = CheckCallList(text, QStringLiteral("Digipeater path"));
        if (!digis.ok()) {
            return digis.error();
        }
        return digis.value().size() > 7
                   ? QStringLiteral("At most 7 digipeaters can be used; %1 are given.").arg(digis.value().size())
                   : QString();
    }
    case Allowed: {
        const Result<QList<QByteArray>> calls = CheckCallList(text, QStringLiteral("Allowed stations"));
        return calls.ok() ? QString() : calls.error();
    }
    case FieldCount:
        break;
    }
    return {};
}

Result<> TerminalSettingsTexts::save(ConfigStore& store) const
{
    for (int f = 0; f < FieldCount; ++f) {
        const QString why = Check(Field(f), text[f]);
        if (!why.isEmpty()) {
            return Fail(why);
        }
    }
    for (int f = 0; f < FieldCount; ++f) {
        const StoreStatus written = store.WriteStoreLine(FileOf(Field(f)), normal(Field(f), text[f]));
        if (!written.ok()) {
            return Fail(QStringLiteral("%1 could not be written: %2").arg(FileOf(Field(f)), written.message));
        }
    }
    return {};
}

} // namespace tolvan
