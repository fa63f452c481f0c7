#include "terminal/SendQueue.h"

namespace tolvan {

FileStamp StampOf(const QString&)
{
    return {};
}

SendQueue::SendQueue(QString sendFolder)
    : m_folder(std::move(sendFolder))
{
}

QString SendQueue::transmittedFolder() const
{
    return m_folder + QStringLiteral("/Transmitted");
}

QString SendQueue::journalPath() const
{
    return transmittedFolder() + QStringLiteral("/journal.txt");
}

QList<Destination> SendQueue::scan(const QString&, QStringList*) const
{
    return {};
}

QString SendQueue::DestinationOf(const QString&, const QString& defaultDestination)
{
    return defaultDestination;
}

QString SendQueue::CallFromToField(const QString&)
{
    return {};
}

bool SendQueue::IsCallSign(const QString&)
{
    return false;
}

Result<SendQueue::SentOutcome> SendQueue::markSent(const OutgoingFile&, qint64, double, const QDateTime&) const
{
    return Fail(QStringLiteral("not yet"));
}

} // namespace tolvan
