#include "monitor/filemonitors.h"

#include <QFile>
#include <QTimer>

#include <dirent.h>
#include <sys/stat.h>

namespace tolvan {

namespace {

QSet<QString> toSet(const QStringList& names)
{
    return QSet<QString>(names.cbegin(), names.cend());
}

} // namespace

filemonitors::filemonitors(QObject* parent)
    : QObject(parent)
{
}

filemonitors::~filemonitors()
{
    // The timer belongs to its screen; only our connection to it goes.
    QObject::disconnect(m_tick);
}

QStringList filemonitors::ListFolder(const QString& folder)
{
    QStringList names;
    if (folder.isEmpty()) {
        return names;
    }
    const QByteArray encoded = QFile::encodeName(folder);
    DIR* dir = ::opendir(encoded.constData());
    if (dir == nullptr) {
        return names;
    }
    // readdir gives the type of most entries for free; only the rest (and
    // symbolic links, which count when they lead to a file) cost a stat.
    const int fd = ::dirfd(dir);
    while (const dirent* entry = ::readdir(dir)) {
        bool isFile = entry->d_type == DT_REG;
        if (entry->d_type == DT_UNKNOWN || entry->d_type == DT_LNK) {
            struct stat st;
            isFile = ::fstatat(fd, entry->d_name, &st, 0) == 0 && S_ISREG(st.st_mode);
        }
        if (isFile) {
            names.append(QFile::decodeName(entry->d_name));
        }
    }
    ::closedir(dir);
    return names;
}

void filemonitors::SetTimerControl(QTimer* tmr)
{
    QObject::disconnect(m_tick);
    TimerScan = tmr;
    if (tmr != nullptr) {
        m_tick = connect(tmr, &QTimer::timeout, this, &filemonitors::TimerScan_Timer);
    }
}

std::optional<MessageBoxRequest> filemonitors::StartMonitoring()
{
    if (TimerScan.isNull()) {
        return MessageBoxRequest{QStringLiteral("Error: Timer control is not set!"), {}};
    }
    if (FolderPath.isEmpty()) {
        return MessageBoxRequest{QStringLiteral("Error: Folder path is not set!"), {}};
    }
    // Files already there at the start never count as new.
    m_lastFileList = toSet(ListFolder(FolderPath));
    TimerScan->setInterval(kIntervalMs);
    TimerScan->start();
    m_running = true;
    return std::nullopt;
}

void filemonitors::StopMonitoring()
{
    if (!TimerScan.isNull()) {
        TimerScan->stop();
    }
    SetTimerControl(nullptr);
    m_running = false;
}

bool filemonitors::IsRunning() const
{
    return m_running && !TimerScan.isNull() && TimerScan->isActive();
}

void filemonitors::TimerScan_Timer()
{
    // A receiver that runs an event loop (a message box) must not start a
    // second scan inside the first; the next tick catches up.
    if (m_inTick) {
        return;
    }
    m_inTick = true;
    QSet<QString> current = toSet(ListFolder(FolderPath));
    bool anyNew = false;
    for (const QString& name : std::as_const(current)) {
        if (!m_lastFileList.contains(name)) {
            anyNew = true;
            break;
        }
    }
    if (anyNew) {
        const QPointer<filemonitors> self(this);
        emit FileReceived();
        if (self.isNull()) {
            return; // a receiver replaced this monitor
        }
    }
    m_lastFileList = std::move(current);
    m_inTick = false;
}

} // namespace tolvan
