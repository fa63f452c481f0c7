#pragma once

#include <QObject>
#include <QPointer>

namespace tolvan {

class filemonitors;

// Receives the monitor's FileReceived. The arrival notice itself (speech, the
// main menu's labels, the received screen's list) belongs to the screens: they
// connect to FileArrived, which Monitor_FileReceived emits inside the tick.
class filemonitorevent : public QObject {
    Q_OBJECT

public:
    explicit filemonitorevent(QObject* parent = nullptr);

    // Holds the monitor so that its events arrive here; replaces an earlier one.
    void Initialize(filemonitors* monitorInstance);
    filemonitors* Monitor() const { return m_monitor; }

public slots:
    void Monitor_FileReceived();

signals:
    // Carries the watched folder, so the receiver can refresh its list.
    void FileArrived(const QString& folderPath);

private:
    QPointer<filemonitors> m_monitor;
    QMetaObject::Connection m_connection;
};

} // namespace tolvan
