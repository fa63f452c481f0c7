#include "monitor/ReceiveWatch.h"

#include "config/ConfigStore.h"
#include "monitor/filemonitorevent.h"
#include "monitor/filemonitors.h"
#include "monitor/fileoperation.h"

#include <QFile>
#include <QFileInfo>

#include <unistd.h>

namespace tolvan {

namespace {

const QString kReceiveDat = QStringLiteral("receive.dat");

} // namespace

QString ReceiveWatch::State::text() const
{
    if (kind == Kind::Watching && !noticeFailure.isEmpty()) {
        return QStringLiteral("Watching the receive folder: %1 (the last arrival notice failed: %2)")
            .arg(folder, noticeFailure);
    }
    switch (kind) {
    case Kind::Off:
        break;
    case Kind::Watching:
        return QStringLiteral("Watching the receive folder: ") + folder;
    case Kind::NoStoreFile:
        return QStringLiteral("Not watching: receive.dat is missing");
    case Kind::NoFolderNamed:
        return QStringLiteral("Not watching: receive.dat names no folder");
    case Kind::FolderMissing:
        return QStringLiteral("Not watching: the receive folder does not exist: ") + folder;
    case Kind::FolderUnreadable:
        return QStringLiteral("Not watching: the receive folder cannot be read: ") + folder;
    }
    return QStringLiteral("The receive folder is not watched yet");
}

ReceiveWatch::ReceiveWatch(const ConfigStore& store, QObject* parent)
    : QObject(parent)
    , quietPeriod(filemonitors::kQuietPeriod)
    , m_store(store)
{
    m_timer.setObjectName(QStringLiteral("ReceiveWatchTimer"));
    m_timer.setInterval(filemonitors::kIntervalMs);
    // Connected before any monitor binds the timer, so each tick checks the
    // state first and the monitor then scans the folder that was checked.
    connect(&m_timer, &QTimer::timeout, this, &ReceiveWatch::Check);
}

ReceiveWatch::~ReceiveWatch()
{
    if (m_active) {
        fileoperation::ReleaseReceiveMonitor();
    }
}

void ReceiveWatch::Begin()
{
    if (m_active) {
        return;
    }
    m_active = true;
    m_state = State{};
    m_timer.start();
    Check();
}

void ReceiveWatch::End()
{
    if (!m_active) {
        return;
    }
    m_active = false;
    m_timer.stop();
    m_sets = SevenPlusSets::Collector();
    if (filemonitors* monitor = fileoperation::ReceiveMonitor()) {
        monitor->StopMonitoring();
    }
    setState(State{});
}

ReceiveWatch::State ReceiveWatch::readState() const
{
    State s;
    const StoreValue<QString> line =
        m_store.StoreFileExists(kReceiveDat) ? m_store.ReadStoreLine(kReceiveDat) : StoreValue<QString>{};
    if (!m_store.StoreFileExists(kReceiveDat) || (!line.ok() && line.error != StoreError::EndOfFile)) {
        s.kind = State::Kind::NoStoreFile;
        return s;
    }
    s.folder = line.ok() ? line.value.trimmed() : QString();
    if (s.folder.isEmpty()) {
        s.kind = State::Kind::NoFolderNamed;
        return s;
    }
    const QFileInfo info(s.folder);
    if (!info.isDir()) {
        s.kind = State::Kind::FolderMissing;
    } else if (::access(QFile::encodeName(s.folder).constData(), R_OK | X_OK) != 0) {
        s.kind = State::Kind::FolderUnreadable;
    } else {
        s.kind = State::Kind::Watching;
    }
    return s;
}

void ReceiveWatch::Check()
{
    if (!m_active) {
        return;
    }
    State now = readState();
    filemonitors* monitor = fileoperation::ReceiveMonitor();
    // Another folder set starts a fresh monitor, which takes the files there
    // as known. The same folder going away and coming back is the monitor's
    // own to follow: what it then holds is new.
    if (!monitor || monitor->FolderPath != now.folder ||
        (now.kind == State::Kind::Watching && !monitor->IsRunning())) {
        restartMonitor();
        monitor = fileoperation::ReceiveMonitor();
    }
    if (monitor && now.kind == State::Kind::Watching) {
        now.noticeFailure = monitor->LastReceiverFailure();
    }
    setState(now);
    // Completions are reported with the arrival that brings the last part;
    // this look only follows parts that went or changed.
    refreshSets();
}

QList<SevenPlusSets::Set> ReceiveWatch::refreshSets()
{
    const QString folder = m_state.kind == State::Kind::Watching ? m_state.folder : QString();
    // The kernel's reports are read once for all the questions of this look.
    filemonitors* monitor = fileoperation::ReceiveMonitor();
    if (monitor) {
        monitor->ReadKernelReports();
    }
    QList<SevenPlusSets::Set> done = m_sets.Refresh(
        folder, [this, &folder](const QString& name) { return stillArrivingIn(folder, name, true); });
    emit SetsRefreshed();
    return done;
}

void ReceiveWatch::restartMonitor()
{
    // The watch's own state line tells what is wrong with the folder.
    (void)fileoperation::StartReceiveMonitor(m_store, &m_timer, quietPeriod);
    if (!m_timer.isActive()) {
        m_timer.start(); // a monitor without folder leaves it stopped; the checks go on
    }
    filemonitorevent* events = fileoperation::ReceiveEvents();
    if (!events) {
        return;
    }
    connect(events, &filemonitorevent::FileArrived, this, [this, events](const QString& folder) {
        filemonitors* monitor = events->Monitor();
        m_completed = refreshSets();
        emit Arrived(folder, monitor ? monitor->Arrivals() : QStringList());
        m_completed.clear();
    });
}

void ReceiveWatch::setState(const State& state)
{
    if (state == m_state) {
        return;
    }
    m_state = state;
    emit StateChanged(m_state);
}

bool ReceiveWatch::IsStillArriving(const QString& name) const
{
    const StoreValue<QString> line = m_store.ReadStoreLine(kReceiveDat);
    return stillArrivingIn(line.ok() ? line.value.trimmed() : QString(), name);
}

bool ReceiveWatch::stillArrivingIn(const QString& folder, const QString& name, bool reportsRead) const
{
    if (folder.isEmpty() || name.isEmpty()) {
        return false;
    }
    filemonitors* monitor = fileoperation::ReceiveMonitor();
    if (m_active && monitor && monitor->FolderPath == folder &&
        monitor->State() == filemonitors::FolderState::Watching) {
        return monitor->IsStillArriving(name, reportsRead);
    }
    const QString path = folder.endsWith(u'/') ? folder + name : folder + u'/' + name;
    return filemonitors::LooksStillArriving(path, quietPeriod);
}

} // namespace tolvan
