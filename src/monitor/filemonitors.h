#pragma once

#include "platform/Dialogs.h"
#include "platform/Result.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

class QSocketNotifier;
class QTimer;

namespace tolvan {

// Watches one folder for arrivals. Each tick of the bound timer lists the
// folder and compares the names with those it knows; a new name is pending
// until the file is complete: its size and modification time unchanged for
// the quiet period, no writer holding it open as far as the kernel tells
// (inotify, where the folder allows it), and its format not showing missing
// bytes. A tick in which at least one new file became complete emits
// FileReceived once. Files present at the start, files that disappear, and
// files replaced under a known name raise nothing. The tick runs on the
// thread of the timer, and the receivers run inside it.
class filemonitors : public QObject {
    Q_OBJECT

public:
    static constexpr int kIntervalMs = 1000;
    // How long an incoming file must stay unchanged before it counts as complete.
    static constexpr std::chrono::milliseconds kQuietPeriod{3000};

    enum class FolderState { NotStarted, Watching, Missing, Unreadable };

    explicit filemonitors(QObject* parent = nullptr);
    ~filemonitors() override;

    // Used exactly as set: no separator is added or removed.
    QString FolderPath;
    // Set before StartMonitoring; tests shorten the quiet period and switch
    // the kernel's notification off to try the quiet period alone.
    std::chrono::milliseconds QuietPeriod = kQuietPeriod;
    bool UseKernelNotification = true;

    // Binds the timer whose ticks drive the scan, replacing an earlier binding.
    // The timer is not owned; it may go away with its owner at any time.
    void SetTimerControl(QTimer* tmr);
    // Takes the current listing as known and starts the timer at one second.
    // Fails, with the box to show, when no timer is bound or no folder is set.
    Result<> StartMonitoring();
    // Stops the bound timer and releases it.
    void StopMonitoring();
    bool IsRunning() const;

    // One scan; public so tests and the owner can drive it without waiting.
    void TimerScan_Timer();

    // The names that became complete arrivals in the tick now running; valid
    // inside the receivers of FileReceived.
    const QStringList& Arrivals() const { return m_arrivals; }
    // True while the named file of the folder may still be growing: not yet
    // complete by the rules above, or changed since. A name with no file is
    // not arriving.
    bool IsStillArriving(const QString& name);
    FolderState State() const { return m_state; }
    // Whether the kernel reports writers closing files in this folder.
    bool KernelNotificationActive() const { return m_watch >= 0; }

    // The same question without a monitor: the file counts as arriving while
    // it was modified within the quiet period or its format shows missing bytes.
    static bool LooksStillArriving(const QString& path, std::chrono::milliseconds quiet);

    // The names of the files (hidden ones too, no folders) directly in folder;
    // empty when the folder is missing or unreadable.
    static QStringList ListFolder(const QString& folder);

signals:
    void FileReceived();

private:
    using SteadyTime = std::chrono::steady_clock::time_point;
    // Names as the file system gives their bytes: exact, and looked up
    // without building a string for each listed name.
    struct NameHash {
        using is_transparent = void;
        size_t operator()(std::string_view name) const { return std::hash<std::string_view>{}(name); }
    };
    template <class V>
    using NameMap = std::unordered_map<std::string, V, NameHash, std::equal_to<>>;

    struct Known {
        std::uint32_t seen = 0; // the listing that last held the name
        // Size and modification time when last found complete; size -1 for a
        // file never checked (present at the start).
        qint64 size = -1;
        qint64 mtime = 0;
    };
    struct Pending {
        bool announce = false; // a new name, not a known file that changed
        qint64 size = -1;
        qint64 mtime = 0;
        SteadyTime stableSince;
        // Size and time at which the format last showed missing bytes.
        qint64 shortSize = -1;
        qint64 shortMtime = 0;
    };

    QByteArray pathOf(std::string_view name) const;
    // Takes the listing as known, with nothing pending; false when the folder
    // cannot be listed.
    bool takeSnapshot();
    void startKernelWatch();
    void stopKernelWatch();
    void readKernelEvents();
    void markChanged(std::string_view name);
    void checkPending(SteadyTime now);

    QPointer<QTimer> TimerScan;
    QMetaObject::Connection m_tick;
    QByteArray m_folder; // FolderPath as the file system takes it
    NameMap<Known> m_known;
    NameMap<Pending> m_pending;
    // Names the kernel saw being written and not yet closed.
    std::unordered_set<std::string, NameHash, std::equal_to<>> m_writing;
    std::vector<std::string> m_newNames; // kept between ticks to reuse the memory
    std::uint32_t m_listing = 0;
    QStringList m_arrivals;
    FolderState m_state = FolderState::NotStarted;
    bool m_resync = false; // the folder went away or was replaced
    qint64 m_folderDev = -1;
    qint64 m_folderIno = -1;
    int m_inotify = -1;
    int m_watch = -1;
    QSocketNotifier* m_notifier = nullptr;
    bool m_running = false;
    bool m_inTick = false;
};

} // namespace tolvan
