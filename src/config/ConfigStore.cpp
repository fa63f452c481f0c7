#include "config/ConfigStore.h"

#include "config/StationFolder.h"
#include "platform/AnsiCodec.h"
#include "platform/SafeFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cmath>

namespace tolvan {

namespace {

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

QString describeMissing(const QString& path)
{
    return QStringLiteral("File not found: %1").arg(path);
}

} // namespace

ConfigStore::ConfigStore(QString programFolder)
    : m_programFolder(programFolder.isEmpty()
                          ? StationFolder::Choose({}, executableFolder(), StationFolder::DefaultDataFolder())
                          : std::move(programFolder))
{
}

QString ConfigStore::executableFolder()
{
    return QCoreApplication::applicationDirPath();
}

ConfigStore::Rule ConfigStore::ruleOf(const QString& name)
{
    static const QStringList inside = {QStringLiteral("soundstate.dat"), QStringLiteral("soundsettings.dat"),
                                       QStringLiteral("autosave.dat"), QStringLiteral("baud.dat")};
    for (const QString& n : inside) {
        if (name.compare(n, Qt::CaseInsensitive) == 0) {
            return Rule::Inside;
        }
    }
    return Rule::Prefix;
}

QString ConfigStore::StorePath(const QString& name) const
{
    if (ruleOf(name) == Rule::Prefix) {
        // Deliberately no separator: the file lies beside the program folder
        // and its name begins with the folder's own name.
        return m_programFolder + name;
    }
    return m_programFolder.endsWith(u'/') ? m_programFolder + name : m_programFolder + u'/' + name;
}

QString ConfigStore::existingPath(const QString& name) const
{
    const QString path = StorePath(name);
    QFileInfo exact(path);
    if (exact.isFile()) {
        return path;
    }
    // Another spelling of the same name in the same folder.
    const QDir dir = exact.dir();
    const QString wanted = exact.fileName();
    const QStringList entries = dir.entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    for (const QString& entry : entries) {
        if (entry.compare(wanted, Qt::CaseInsensitive) == 0) {
            return dir.filePath(entry);
        }
    }
    return {};
}

StoreValue<QString> ConfigStore::readFirstLine(const QString& name) const
{
    const QString path = existingPath(name);
    if (path.isEmpty()) {
        return {{}, StoreError::FileNotFound, describeMissing(StorePath(name))};
    }
    // One line is all a store file holds; reading only its start keeps a
    // stray huge file from being pulled into memory, and a FIFO or device put
    // in its place from hanging the program.
    const Result<QByteArray> head = SafeFile::ReadHead(path, 64 * 1024, SafeFile::Links::Follow);
    if (!head.ok()) {
        return {{}, StoreError::Io, head.error()};
    }
    const QByteArray& bytes = head.value();
    if (bytes.isEmpty()) {
        return {{}, StoreError::EndOfFile, QStringLiteral("Input past end of file: %1").arg(path)};
    }
    qsizetype end = 0;
    while (end < bytes.size() && bytes[end] != '\r' && bytes[end] != '\n') {
        ++end;
    }
    return {Ansi::decode(QByteArrayView(bytes).first(end)), StoreError::None, {}};
}

StoreValue<QString> ConfigStore::ReadStoreLine(const QString& name) const
{
    return readFirstLine(name);
}

StoreValue<QString> ConfigStore::ReadStoreField(const QString& name) const
{
    StoreValue<QString> line = readFirstLine(name);
    if (line.ok()) {
        line.value = firstField(line.value);
    }
    return line;
}

StoreValue<int> ConfigStore::ReadStoreNumber(const QString& name) const
{
    StoreValue<QString> field = ReadStoreField(name);
    if (!field.ok()) {
        return {0, field.error, field.message};
    }
    return toNumber(field.value);
}

StoreValue<bool> ConfigStore::ReadStoreBool(const QString& name) const
{
    StoreValue<QString> field = ReadStoreField(name);
    if (!field.ok()) {
        return {false, field.error, field.message};
    }
    return toBool(field.value);
}

QString ConfigStore::firstField(const QString& line)
{
    qsizetype i = 0;
    while (i < line.size() && isBlank(line[i])) {
        ++i;
    }
    if (i < line.size() && line[i] == u'"') {
        const qsizetype close = line.indexOf(u'"', i + 1);
        return close < 0 ? line.mid(i + 1) : line.mid(i + 1, close - i - 1);
    }
    qsizetype end = line.indexOf(u',', i);
    if (end < 0) {
        end = line.size();
    }
    while (end > i && isBlank(line[end - 1])) {
        --end;
    }
    return line.mid(i, end - i);
}

StoreValue<int> ConfigStore::toNumber(const QString& field)
{
    bool ok = false;
    const double d = field.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(d) || std::fabs(d) > 2147483647.0) {
        return {0, StoreError::BadValue, QStringLiteral("Type mismatch: \"%1\" is not a number").arg(field)};
    }
    return {static_cast<int>(std::nearbyint(d)), StoreError::None, {}};
}

StoreValue<bool> ConfigStore::toBool(const QString& field)
{
    const QString t = field.trimmed().toUpper();
    if (t == u"TRUE" || t == u"#TRUE#") {
        return {true, StoreError::None, {}};
    }
    if (t == u"FALSE" || t == u"#FALSE#") {
        return {false, StoreError::None, {}};
    }
    StoreValue<int> n = toNumber(field);
    if (!n.ok()) {
        return {false, StoreError::BadValue, QStringLiteral("Type mismatch: \"%1\" is not a truth value").arg(field)};
    }
    return {n.value != 0, StoreError::None, {}};
}

StoreStatus ConfigStore::replace(const QString& name, const QString& text)
{
    QString path = existingPath(name);
    if (path.isEmpty()) {
        path = StorePath(name);
    }
    // Written beside the old file and renamed over it, so a crash or a full disk
    // never leaves the value empty or half-written.
    QByteArray bytes = Ansi::encode(text);
    bytes.append("\r\n");
    const Result<> r = SafeFile::replace(path, bytes);
    if (!r.ok()) {
        return {StoreError::Io, r.error()};
    }
    return {};
}

StoreStatus ConfigStore::WriteStoreLine(const QString& name, const QString& text)
{
    return replace(name, text);
}

StoreStatus ConfigStore::WriteStoreLine(const QString& name, bool value)
{
    return replace(name, value ? QStringLiteral("True") : QStringLiteral("False"));
}

StoreStatus ConfigStore::WriteStoreNumber(const QString& name, int value)
{
    return replace(name, QString::number(value));
}

StoreStatus ConfigStore::WriteStoreNumber(const QString& name, bool value)
{
    return replace(name, value ? QStringLiteral("#TRUE#") : QStringLiteral("#FALSE#"));
}

} // namespace tolvan
