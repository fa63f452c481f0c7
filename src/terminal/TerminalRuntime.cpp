#include "terminal/TerminalRuntime.h"

#include "terminal/StatusKeeper.h"
#include "terminal/TncLink.h"

#include <QTimer>

namespace tolvan {

TerminalRuntime::TerminalRuntime(const QString& stationFolder, TerminalOptions options, QObject* parent)
    : QObject(parent)
    , m_station(stationFolder)
    , m_options(std::move(options))
    , m_store(stationFolder)
{
}

TerminalRuntime::~TerminalRuntime()
{
    if (m_engine) {
        m_status.reset();
        m_engine->disconnect(this);
        m_engine->stop();
        m_link->stop();
        m_engine.reset();
        m_link.reset();
    }
    m_retired.clear();
}

Result<> TerminalRuntime::start()
{
    const Result<TerminalSettings> settings = LoadTerminalSettings(m_store, m_options);
    if (!settings.ok()) {
        // What runs is always what the store says: an engine on settings
        // since replaced does not carry on.
        stop();
        return settings.failure();
    }
    const bool restart = running();
    stop();
    m_settings = settings.value();
    m_link = std::make_unique<TncLink>();
    m_engine = std::make_unique<TerminalEngine>(m_settings, *m_link);
    if (m_engineTiming) {
        m_engine->setTiming(*m_engineTiming);
    }
    connect(m_engine.get(), &TerminalEngine::event, this, &TerminalRuntime::event);
    m_status = std::make_unique<StatusKeeper>(*m_engine, m_station, m_settings.host, m_settings.port);
    ConnectEngine(*m_link, *m_engine);
    m_engine->start();
    emit started(m_settings);
    // The old link's goodbye to the TNC goes first: a TNC keeps a call sign
    // registered to the connection that holds it.
    const auto go = [link = m_link.get(), s = m_settings] { link->start(s.host, s.port, s.call, s.radioPort); };
    if (restart) {
        QTimer::singleShot(300, m_link.get(), go);
    } else {
        go();
    }
    return {};
}

void TerminalRuntime::stop()
{
    if (!m_engine) {
        return;
    }
    m_status.reset();
    m_engine->disconnect(this);
    m_engine->stop();
    m_link->stop();
    // The last frames and the disconnects leave from the event loop; kept
    // until then, or until the runtime goes if that is sooner.
    m_retired.push_back({std::move(m_link), std::move(m_engine)});
    QTimer::singleShot(200, this, [this] {
        if (!m_retired.empty()) {
            m_retired.erase(m_retired.begin());
        }
    });
}

} // namespace tolvan
