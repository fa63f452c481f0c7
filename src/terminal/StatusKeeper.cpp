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
}

StatusKeeper::~StatusKeeper() = default;

void StatusKeeper::feed(const QJsonObject& event)
{
    m_status.feed(event);
}

void StatusKeeper::write() {}

} // namespace tolvan
