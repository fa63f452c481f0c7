#include "terminal/TerminalStatus.h"

#include "platform/SafeFile.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>

namespace tolvan {

namespace {

const QString kNotRunning = QStringLiteral("not running");
constexpr qint64 kFreshSeconds = 90;

bool isTerminalProcess(qint64 pid)
{
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
    return pid > 0 && comm.open(QIODevice::ReadOnly) && comm.readAll().trimmed() == "tolvan-terminal";
}

} // namespace

void TerminalStatus::feed(const QJsonObject&) {}

Result<> TerminalStatus::write(const QString& stationFolder) const
{
    const QJsonObject o{{QStringLiteral("pid"), QCoreApplication::applicationPid()},
                        {QStringLiteral("updated"), QDateTime::currentDateTime().toString(Qt::ISODate)},
                        {QStringLiteral("state"), m_state},
                        {QStringLiteral("line"), m_line}};
    return SafeFile::replace(QDir(stationFolder).filePath(FileName()), QJsonDocument(o).toJson(QJsonDocument::Compact));
}

QString TerminalStatus::ReadLine(const QString& stationFolder)
{
    const QString path = QDir(stationFolder).filePath(FileName());
    const QFileInfo info(path);
    if (!info.isFile() || info.size() > 4096) {
        return kNotRunning;
    }
    const Result<QByteArray> bytes = SafeFile::ReadWhole(path, 4096);
    if (!bytes.ok()) {
        return kNotRunning;
    }
    const QJsonObject o = QJsonDocument::fromJson(bytes.value()).object();
    const QDateTime updated = QDateTime::fromString(o.value(QStringLiteral("updated")).toString(), Qt::ISODate);
    const QString line = o.value(QStringLiteral("line")).toString();
    if (line.isEmpty() || !updated.isValid() || updated.secsTo(QDateTime::currentDateTime()) > kFreshSeconds ||
        !isTerminalProcess(o.value(QStringLiteral("pid")).toInteger())) {
        return kNotRunning;
    }
    return line;
}

} // namespace tolvan
