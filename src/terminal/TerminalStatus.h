#pragma once

#include "platform/Result.h"

#include <QJsonObject>
#include <QString>

namespace tolvan {

// The terminal's state in one line, kept in a small file in the station
// folder so that the station program can show it without asking the
// terminal anything.
class TerminalStatus {
public:
    void feed(const QJsonObject& event);
    QString state() const { return m_state; }
    QString line() const { return m_line; }
    static QString FileName() { return QStringLiteral("terminal-status.json"); }
    Result<> write(const QString& stationFolder) const;
    // The text after "Terminal: ": the stored line while a live terminal
    // keeps the file fresh, otherwise "not running".
    static QString ReadLine(const QString& stationFolder);

private:
    QString m_state = QStringLiteral("idle");
    QString m_line = QStringLiteral("nothing to send");
};

} // namespace tolvan
