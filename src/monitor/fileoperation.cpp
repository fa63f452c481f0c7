#include "monitor/fileoperation.h"

#include "config/ConfigStore.h"
#include "monitor/filemonitorevent.h"
#include "monitor/filemonitors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>

#include <algorithm>

namespace tolvan::fileoperation {

namespace {

QPointer<filemonitors> g_monitor;
QPointer<filemonitorevent> g_events;

void unbindPrevious(bool now)
{
    if (!g_monitor.isNull()) {
        g_monitor->SetTimerControl(nullptr);
        now ? delete g_monitor.data() : g_monitor->deleteLater();
    }
    if (!g_events.isNull()) {
        g_events->Initialize(nullptr);
        now ? delete g_events.data() : g_events->deleteLater();
    }
    g_monitor.clear();
    g_events.clear();
}

MessageBoxRequest box(const QString& text, MsgIcon icon)
{
    return {text, {}, icon, MsgButtons::Ok, MsgAnswer::Ok};
}

bool isPlainName(const QString& name)
{
    return !name.isEmpty() && name != u"." && name != u".." && !name.contains(u'/') && !name.contains(QChar(0));
}

} // namespace

Result<QString> StartReceiveMonitor(const ConfigStore& store, QTimer* timer, std::chrono::milliseconds quietPeriod)
{
    // Released later, not now: this may run inside the old monitor's own tick.
    unbindPrevious(false);
    g_monitor = new filemonitors();
    g_events = new filemonitorevent();

    const StoreValue<QString> folder = store.ReadStoreLine(QStringLiteral("receive.dat"));
    if (!folder.ok()) {
        return Fail(box(QStringLiteral("Error initializing monitoring: ") + folder.message, MsgIcon::Critical));
    }
    // The folder the monitor watches is the one routing opens files from.
    const QString path = folder.value.trimmed();
    g_monitor->FolderPath = path;
    g_monitor->QuietPeriod = quietPeriod;
    g_monitor->SetTimerControl(timer);
    const Result<> started = g_monitor->StartMonitoring();
    // The first tick comes one interval after the start, so no arrival is missed.
    g_events->Initialize(g_monitor);
    if (!started.ok()) {
        return {started.failure(), path};
    }
    return path;
}

filemonitors* ReceiveMonitor()
{
    return g_monitor;
}

filemonitorevent* ReceiveEvents()
{
    return g_events;
}

void ReleaseReceiveMonitor()
{
    unbindPrevious(true);
}

QStringList ListedFiles(const QString& folder)
{
    if (folder.isEmpty()) {
        return {};
    }
    // The monitor's own listing: the types come with the names, so a folder
    // of any size costs no stat per file. Hidden files are the names that
    // begin with "."; the order is QDir's by name.
    QStringList names = filemonitors::ListFolder(folder);
    std::sort(names.begin(), names.end());
    return names;
}

DeleteResult DeleteListedFiles(const QString& folder, const QStringList& names)
{
    DeleteResult r;
    if (names.isEmpty()) {
        return r;
    }
    if (folder.isEmpty()) {
        r.messages << box(QStringLiteral("An error occurred: No folder is set for the file list."), MsgIcon::Critical);
        return r;
    }
    if (!QFileInfo(folder).isDir()) {
        r.messages << box(QStringLiteral("An error occurred: The folder does not exist: ") + folder, MsgIcon::Critical);
        return r;
    }
    const QString prefix = folder.endsWith(u'/') ? folder : folder + u'/';
    for (const QString& name : names) {
        const QString path = prefix + name;
        const QFileInfo info(path);
        QString failure;
        if (!isPlainName(name) || name.startsWith(u'.')) {
            failure = QStringLiteral("Not a listed file of %1: %2").arg(folder, name);
        } else if (!info.exists() && !info.isSymLink()) {
            failure = QStringLiteral("File not found: ") + path;
        } else if (!info.isSymLink() && !info.isFile()) {
            failure = QStringLiteral("Not a file: ") + path;
        } else if (QFile file(path); !file.remove()) {
            failure = file.errorString();
        }
        if (failure.isEmpty()) {
            ++r.deleted;
        } else {
            r.messages << box(QStringLiteral("Error deleting file: ") + failure, MsgIcon::Exclamation);
        }
    }
    r.refresh = true;
    return r;
}

DeleteResult DeleteListedFiles(Dialogs& dialogs, const QString& folder, const QStringList& names)
{
    DeleteResult r = DeleteListedFiles(folder, names);
    for (const MessageBoxRequest& m : std::as_const(r.messages)) {
        dialogs.messageBox(m);
    }
    return r;
}

} // namespace tolvan::fileoperation
