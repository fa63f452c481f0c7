#include "monitor/filemonitorevent.h"

#include "monitor/filemonitors.h"

namespace tolvan {

filemonitorevent::filemonitorevent(QObject* parent)
    : QObject(parent)
{
}

void filemonitorevent::Initialize(filemonitors* monitorInstance)
{
    QObject::disconnect(m_connection);
    m_monitor = monitorInstance;
    if (monitorInstance != nullptr) {
        m_connection =
            connect(monitorInstance, &filemonitors::FileReceived, this, &filemonitorevent::Monitor_FileReceived);
    }
}

void filemonitorevent::Monitor_FileReceived()
{
    emit FileArrived(m_monitor.isNull() ? QString() : m_monitor->FolderPath);
}

} // namespace tolvan
