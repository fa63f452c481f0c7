#pragma once

#include "platform/Dialogs.h"
#include "platform/Result.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

class QSocketNotifier;
class QTimer;

namespace tolvan {

// Watches one folder for arrivals. Each tick of the bound timer looks at the
// folder and compares what it holds with what it knows: a file is known by its
// name, its inode and its modification time, so a file written anew under a
// name used before (deleted and written again, renamed over it) is new too.
// A new file is pending until it is complete: its size and modification time
// unchanged for the quiet period, no writer holding it open as far as the
// kernel tells (inotify, where the folder allows it), and its format not
// showing missing bytes; a file whose format still looks short after twice
// the quiet period is complete all the same, and its reader says what is
// wrong with it. A tick in which at least one new file became complete emits
// FileReceived once. Files present at the start raise nothing; when the
// folder goes away and comes back (or is replaced), what it then holds is
// new. Names that begin with "." (hidden files, a writer's partial files)
// are never looked at. The tick runs on the thread of the timer, and the
// receivers run inside it.
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
    using SteadyTime = std::chrono::steady_clock::time_point;

    // Set before StartMonitoring; tests shorten the quiet period, switch the
    // kernel's notification off to try the quiet period alone, and give a
    // clock of their own instead of waiting.
    std::chrono::milliseconds QuietPeriod = kQuietPeriod;
    bool UseKernelNotification = true;
    std::function<SteadyTime()> Clock = [] { return std::chrono::steady_clock::now(); };

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
    // reportsRead: the caller has just called ReadKernelReports, as one does
    // before asking about many files in a row.
    bool IsStillArriving(const QString& name, bool reportsRead = false);
    void ReadKernelReports();
    FolderState State() const { return m_state; }
    // Whether the kernel reports writers closing files in this folder.
    bool KernelNotificationActive() const { return m_watch >= 0; }
    // What the monitor does when the kernel's queue of reports overflowed:
    // every file is looked at again, and each that changed, or was pending,
    // must stay quiet for a full quiet period from now before it counts.
    void KernelQueueOverflowed();
    // The text of the last failure a receiver of FileReceived threw; the
    // watch goes on at the next tick whatever a receiver did.
    const QString& LastReceiverFailure() const { return m_receiverFailure; }

    // The same question without a monitor: the file counts as arriving while
    // it was modified within the quiet period, or within twice the quiet
    // period while its format shows missing bytes.
    static bool LooksStillArriving(const QString& path, std::chrono::milliseconds quiet);

    // The names of the files the monitor looks at: those directly in folder
    // (files and links to files, no folders), except names beginning with ".";
    // empty when the folder is missing or unreadable.
    static QStringList ListFolder(const QString& folder);

signals:
    void FileReceived();

private:
    // Names as the file system gives their bytes: exact, and looked up
    // without building a string for each listed name.
    struct NameHash {
        using is_transparent = void;
        size_t operator()(std::string_view name) const { return std::hash<std::string_view>{}(name); }
    };
    template <class V>
    using NameMap = std::unordered_map<std::string, V, NameHash, std::equal_to<>>;

    // What identifies a file under its name: the inode the listing gives,
    // and its size and modification time when last looked at.
    struct Known {
        std::uint32_t seen = 0; // the listing that last held the name
        std::uint64_t ino = 0;
        qint64 size = -1;
        qint64 mtime = 0;
        bool checked = false; // found complete by a tick (not just present at the start)
    };
    struct Pending {
        bool announce = true; // a new file, not one of the start that is still written
        qint64 size = -1;
        qint64 mtime = 0;
        SteadyTime stableSince;
        // Size and time at which the format last showed missing bytes.
        qint64 shortSize = -1;
        qint64 shortMtime = 0;
    };

    QByteArray pathOf(std::string_view name) const;
    // Takes the listing with one look at each file. At the start what is
    // there is known; after the folder came back it is all new.
    bool takeSnapshot(bool asNew, SteadyTime now);
    // Lists the folder; new names and names under a new inode become pending.
    int listFolder();
    // Looks at every known file again (after lost reports, or without them).
    void recheckAll(SteadyTime now, bool restartPending);
    void startKernelWatch();
    void stopKernelWatch();
    void readKernelEvents();
    void markChanged(std::string_view name, bool created);
    void checkPending(SteadyTime now);
    void announce();

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
    bool m_resync = false;   // the folder went away or was replaced
    bool m_recheck = false;  // reports were lost: look at every file again
    qint64 m_folderDev = -1;
    qint64 m_folderIno = -1;
    // The folder's times at the last listing, and whether they can be
    // trusted to change with its next change (the kernel stamps times in
    // coarse steps, so a listing taken in the step of a change proves nothing).
    qint64 m_listedMtime = -1;
    qint64 m_listedCtime = -1;
    bool m_listingTrusted = false;
    QString m_receiverFailure;
    int m_inotify = -1;
    int m_watch = -1;
    QSocketNotifier* m_notifier = nullptr;
    bool m_running = false;
    bool m_inTick = false;
};

} // namespace tolvan
