#pragma once

#include "config/ConfigStore.h"
#include "platform/Result.h"
#include "terminal/TerminalEngine.h"
#include "terminal/TerminalSettings.h"

#include <QJsonObject>
#include <QObject>

#include <memory>
#include <vector>

namespace tolvan {

class StatusKeeper;
class TncLink;

// The window's engine and TNC link, made from the station's settings and
// made anew when the operator saves other ones. Every event of the engine
// of the moment is passed on through event(), so the window never holds an
// engine that may go away.
class TerminalRuntime : public QObject {
    Q_OBJECT
public:
    TerminalRuntime(const QString& stationFolder, TerminalOptions options, QObject* parent = nullptr);
    ~TerminalRuntime() override;

    // Reads the settings and starts the link and the engine, ending those of
    // an earlier start first. A failure names the setting to mend; nothing
    // runs then, not even the engine of an earlier start.
    Result<> start();
    // Ends every session cleanly (partial files are kept for resume).
    void stop();

    // The engine of the moment; null while none runs.
    TerminalEngine* engine() const { return m_engine.get(); }
    bool running() const { return m_engine != nullptr; }
    const TerminalSettings& settings() const { return m_settings; }
    ConfigStore& store() { return m_store; }
    const QString& stationFolder() const { return m_station; }

    // For tests: the engine's pauses and the link's reconnects.
    void setTiming(const TerminalEngine::Timing& engine) { m_engineTiming = engine; }

signals:
    void event(const QJsonObject& event);
    // A new engine runs with these settings.
    void started(const tolvan::TerminalSettings& settings);

private:
    QString m_station;
    TerminalOptions m_options;
    ConfigStore m_store;
    TerminalSettings m_settings;
    std::optional<TerminalEngine::Timing> m_engineTiming;
    // The engine refers to the link: it is made after it and ended before it.
    std::unique_ptr<TncLink> m_link;
    std::unique_ptr<TerminalEngine> m_engine;
    // Writes the status file the station program reads; ends with the engine.
    std::unique_ptr<StatusKeeper> m_status;
    // Stopped ones, while their goodbyes leave; the engine goes before its link.
    struct Retired {
        std::unique_ptr<TncLink> link;
        std::unique_ptr<TerminalEngine> engine;
    };
    std::vector<Retired> m_retired;
};

} // namespace tolvan
