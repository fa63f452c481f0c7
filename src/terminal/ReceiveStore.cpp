#include "terminal/ReceiveStore.h"

#include "pmba/FileMail.h"

namespace tolvan {

const qint64 ReceiveStore::kLargestFile = FileMail::kMaxFileMailBytes;

ReceiveStore::ReceiveStore(QString receiveFolder, const Clock* clock, qint64 largestFile)
    : m_folder(std::move(receiveFolder))
    , m_clock(clock)
    , m_largest(largestFile)
{
}

ReceiveStore::~ReceiveStore() = default;

QString ReceiveStore::partialPath(const QString& fromCall, const QString& name) const
{
    return m_folder + QStringLiteral("/.tolvan-yapp-") + fromCall + QLatin1Char('-') + name + QStringLiteral(".part");
}

void ReceiveStore::expire() {}

Result<qint64> ReceiveStore::begin(const QString&, const QString&, qint64, bool)
{
    return Fail(QStringLiteral("not yet"));
}

Result<> ReceiveStore::write(QByteArrayView)
{
    return Fail(QStringLiteral("not yet"));
}

Result<QString> ReceiveStore::finish()
{
    return Fail(QStringLiteral("not yet"));
}

void ReceiveStore::keepForResume() {}
void ReceiveStore::discard() {}
void ReceiveStore::closeCurrent() {}

QString ReceiveStore::infoPath(const QString& partial) const
{
    return partial.chopped(5) + QStringLiteral(".info");
}

} // namespace tolvan
