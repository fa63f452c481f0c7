#pragma once

#include "platform/Dialogs.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

class QTimer;

namespace tolvan {

// Watches one folder for new file names. Each tick of the bound timer lists the
// folder and compares the names with those of the previous tick; when at least
// one name is new, FileReceived is emitted once. Files that disappear, or are
// replaced under the same name, raise nothing. The tick runs on the thread of
// the timer, and the receivers run inside it, before the snapshot moves on.
class filemonitors : public QObject {
    Q_OBJECT

public:
    static constexpr int kIntervalMs = 1000;

    explicit filemonitors(QObject* parent = nullptr);
    ~filemonitors() override;

    // Used exactly as set: no separator is added or removed.
    QString FolderPath;

    // Binds the timer whose ticks drive the scan, replacing an earlier binding.
    // The timer is not owned; it may go away with its screen at any time.
    void SetTimerControl(QTimer* tmr);
    // Takes the current listing as known and starts the timer at one second.
    // Returns the box to show when no timer is bound or no folder is set.
    std::optional<MessageBoxRequest> StartMonitoring();
    // Stops the bound timer and releases it.
    void StopMonitoring();
    bool IsRunning() const;

    // One scan; public so tests and the owner can drive it without waiting.
    void TimerScan_Timer();

    // The names of the files (hidden ones too, no folders) directly in folder;
    // empty when the folder is missing or unreadable.
    static QStringList ListFolder(const QString& folder);

signals:
    void FileReceived();

private:
    // Names as the file system gives their bytes: exact, and a tick that
    // finds the folder unchanged allocates nothing.
    struct NameHash {
        using is_transparent = void;
        size_t operator()(std::string_view name) const { return std::hash<std::string_view>{}(name); }
    };
    using NameSet = std::unordered_set<std::string, NameHash, std::equal_to<>>;

    // Calls visit with the name of each file directly in folder; false when
    // the folder cannot be read.
    static bool scanFolder(const QString& folder, const std::function<void(std::string_view)>& visit);

    QPointer<QTimer> TimerScan;
    QMetaObject::Connection m_tick;
    NameSet m_lastFileList;
    // This tick's names end to end, kept between ticks to reuse the memory.
    std::string m_names;
    std::vector<size_t> m_nameEnds;
    bool m_running = false;
    bool m_inTick = false;
};

} // namespace tolvan
