#include "monitor/filemonitors.h"

#include <QFile>
#include <QTimer>

#include <vector>

#include <dirent.h>
#include <sys/stat.h>

namespace tolvan {

filemonitors::filemonitors(QObject* parent)
    : QObject(parent)
{
}

filemonitors::~filemonitors()
{
    // The timer belongs to its screen; only our connection to it goes.
    QObject::disconnect(m_tick);
}

bool filemonitors::scanFolder(const QString& folder, const std::function<void(std::string_view)>& visit)
{
    if (folder.isEmpty()) {
        return false;
    }
    const QByteArray encoded = QFile::encodeName(folder);
    DIR* dir = ::opendir(encoded.constData());
    if (dir == nullptr) {
        return false;
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
            visit(entry->d_name);
        }
    }
    ::closedir(dir);
    return true;
}

QStringList filemonitors::ListFolder(const QString& folder)
{
    QStringList names;
    scanFolder(folder, [&](std::string_view name) {
        names.append(QFile::decodeName(QByteArray(name.data(), qsizetype(name.size()))));
    });
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
    m_lastFileList.clear();
    scanFolder(FolderPath, [this](std::string_view name) { m_lastFileList.emplace(name); });
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
    // Names are looked up in the last snapshot as they come. A listing whose
    // names are all known and as many as before is the same set, and the
    // snapshot is kept; otherwise this listing becomes the new one.
    bool anyNew = false;
    size_t known = 0;
    m_names.clear();
    m_nameEnds.clear();
    scanFolder(FolderPath, [&](std::string_view name) {
        if (m_lastFileList.find(name) != m_lastFileList.end()) {
            ++known;
        } else {
            anyNew = true;
        }
        m_names.append(name);
        m_nameEnds.push_back(m_names.size());
    });
    if (anyNew) {
        const QPointer<filemonitors> self(this);
        emit FileReceived();
        if (self.isNull()) {
            return; // a receiver replaced this monitor
        }
    }
    if (anyNew || known != m_lastFileList.size()) {
        m_lastFileList.clear();
        size_t begin = 0;
        for (const size_t end : m_nameEnds) {
            m_lastFileList.emplace(std::string_view(m_names).substr(begin, end - begin));
            begin = end;
        }
    }
    m_inTick = false;
}

} // namespace tolvan
