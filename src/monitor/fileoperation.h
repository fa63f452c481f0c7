#pragma once

#include "monitor/filemonitors.h"
#include "platform/Dialogs.h"
#include "platform/Result.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <chrono>
#include <optional>

class QTimer;

namespace tolvan {

class ConfigStore;
class filemonitorevent;

namespace fileoperation {

// Builds a fresh monitor and event sink for the receive folder named in
// "receive.dat" (blanks around it removed, as routing reads it), binds timer
// (the receive watch's, see ReceiveWatch) and starts it. The previous monitor
// and sink are unbound at once and released later. Connect to
// ReceiveEvents()->FileArrived after each call.
// Success means the monitor is ticking. The value is the receive folder, for
// the received screen's file list: empty when receive.dat cannot be read, kept
// when the monitor could not start on it. A failure carries the box to show.
Result<QString> StartReceiveMonitor(const ConfigStore& store, QTimer* timer,
                                    std::chrono::milliseconds quietPeriod = filemonitors::kQuietPeriod);

// The current monitor and sink; null until the first start.
filemonitors* ReceiveMonitor();
filemonitorevent* ReceiveEvents();
// Unbinds and deletes both at once (at shutdown and between tests).
void ReleaseReceiveMonitor();

// The entries a file list control shows for folder: its ordinary files,
// hidden ones left out, sorted by name.
QStringList ListedFiles(const QString& folder);

struct DeleteResult {
    int deleted = 0;
    bool refresh = false;              // the list should be read again
    QList<MessageBoxRequest> messages; // in the order they are to be shown
};

// Deletes each listed file from folder. Only plain names of files directly in
// folder are deleted: nothing outside it, no folder, no hidden file. A failure
// for one file is reported and the next is tried; an empty list does nothing.
DeleteResult DeleteListedFiles(const QString& folder, const QStringList& names);
// The same, showing the messages.
DeleteResult DeleteListedFiles(Dialogs& dialogs, const QString& folder, const QStringList& names);

} // namespace fileoperation
} // namespace tolvan
