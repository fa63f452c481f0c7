#include "terminal/StatusKeeper.h"

#include "terminal/TerminalEngine.h"

namespace tolvan {

StatusKeeper::StatusKeeper(TerminalEngine& engine, QString stationFolder, const QString& tncHost, quint16 tncPort,
                           QObject* parent)
    : QObject(parent)
    , m_folder(std::move(stationFolder))
    , m_status(tncHost, tncPort)
{
    connect(&engine, &TerminalEngine::event, this, &StatusKeeper::feed);
    connect(&m_heartbeat, &QTimer::timeout, this, &StatusKeeper::write);
    m_heartbeat.start(kHeartbeatMs);
    write();
}

StatusKeeper::~StatusKeeper()
{
    TerminalStatus::Remove(m_folder);
}

void StatusKeeper::feed(const QJsonObject& event)
{
    m_status.feed(event);
    if (m_status.state() + u'\n' + m_status.line() != m_written) {
        write();
    }
}

void StatusKeeper::write()
{
    m_heartbeat.start(kHeartbeatMs); // the next write at the latest this long after this one
    const Result<> written = m_status.write(m_folder);
    if (!written.ok()) {
        if (!m_failing) {
            m_failing = true;
            emit problem(QStringLiteral("The terminal's status could not be written: %1").arg(written.error()));
        }
        return;
    }
    m_failing = false;
    m_written = m_status.state() + u'\n' + m_status.line();
}

} // namespace tolvan
