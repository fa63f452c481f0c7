#pragma once

#include "terminal/TerminalStatus.h"

#include <QObject>
#include <QString>
#include <QTimer>

namespace tolvan {

class TerminalEngine;

// Keeps the terminal's status file in the station folder up to date: writes
// it whenever the one-line state changes and every 30 s besides (so a reader
// can tell a live terminal from one that was killed), and removes it when the
// keeper goes away, that is when the terminal ends cleanly. The headless
// program and the window both use it.
class StatusKeeper : public QObject {
    Q_OBJECT
public:
    static constexpr int kHeartbeatMs = 30000;

    StatusKeeper(TerminalEngine& engine, QString stationFolder, const QString& tncHost = {}, quint16 tncPort = 0,
                 QObject* parent = nullptr);
    ~StatusKeeper() override;

    const TerminalStatus& status() const { return m_status; }

signals:
    // The file could not be written (told once until a write succeeds again).
    void problem(const QString& message);

private:
    void feed(const QJsonObject& event);
    void write();

    QString m_folder;
    TerminalStatus m_status;
    QString m_written; // state and line of the last write
    QTimer m_heartbeat;
    bool m_failing = false;
};

} // namespace tolvan
