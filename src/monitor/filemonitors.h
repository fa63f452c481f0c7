#pragma once

#include "platform/Dialogs.h"

#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QStringList>

#include <optional>

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
    QPointer<QTimer> TimerScan;
    QMetaObject::Connection m_tick;
    QSet<QString> m_lastFileList;
    bool m_running = false;
    bool m_inTick = false;
};

} // namespace tolvan
