#include "terminal/TerminalStatus.h"

namespace tolvan {

TerminalStatus::TerminalStatus(const QString& tncHost, quint16 tncPort)
{
    m_tncLine = QStringLiteral("connecting to the TNC at %1:%2").arg(tncHost).arg(tncPort);
}

void TerminalStatus::feed(const QJsonObject&) {}

QString TerminalStatus::state() const
{
    return QStringLiteral("no-tnc");
}

QString TerminalStatus::line() const
{
    return m_tncLine;
}

QString TerminalStatus::FileName()
{
    return QStringLiteral("terminal-status.json");
}

Result<> TerminalStatus::write(const QString&) const
{
    return {};
}

void TerminalStatus::Remove(const QString&) {}

QString TerminalStatus::ReadLine(const QString&)
{
    return QStringLiteral("not running");
}

} // namespace tolvan
