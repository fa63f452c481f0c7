#include "terminal/Yapp.h"

#include "terminal/ReceiveStore.h"

namespace tolvan {

namespace Yapp {

quint8 Checksum(QByteArrayView data)
{
    quint8 sum = 0;
    for (char c : data)
        sum = quint8(sum + quint8(c));
    return sum;
}

QByteArray DateField(const QDateTime&)
{
    return {};
}

QDateTime ParseDateField(QByteArrayView)
{
    return {};
}

std::optional<QByteArray> PacketReader::next()
{
    return std::nullopt;
}

} // namespace Yapp

YappSender::YappSender(ByteSink& link, QList<OutgoingFile> files, Yapp::Options options)
    : m_link(link)
    , m_files(std::move(files))
    , m_options(options)
{
}

YappSender::~YappSender() = default;

void YappSender::start() {}
void YappSender::receive(QByteArrayView) {}
void YappSender::linkReady() {}
void YappSender::linkBroken() {}
void YappSender::cancel(const QString&) {}
void YappSender::timeout() {}
bool YappSender::isDone() const
{
    return m_state == State::Done;
}
void YappSender::sendHeader() {}
void YappSender::sendData() {}
void YappSender::nextFile() {}
void YappSender::handle(const QByteArray&) {}
void YappSender::fail(const QString&) {}
void YappSender::sendCancel(const QString&) {}
void YappSender::armTimer() {}

YappReceiver::YappReceiver(ByteSink& link, ReceiveStore& store, QString peerCall, Yapp::Options options)
    : m_link(link)
    , m_store(store)
    , m_peer(std::move(peerCall))
    , m_options(options)
{
}

YappReceiver::~YappReceiver() = default;

void YappReceiver::receive(QByteArrayView) {}
void YappReceiver::linkBroken() {}
void YappReceiver::cancel(const QString&) {}
void YappReceiver::timeout() {}
bool YappReceiver::isDone() const
{
    return m_state == State::Done;
}
void YappReceiver::handle(const QByteArray&) {}
void YappReceiver::header(const QByteArray&) {}
void YappReceiver::data(const QByteArray&) {}
void YappReceiver::endOfFile() {}
void YappReceiver::refuse(const QString&) {}
void YappReceiver::fail(const QString&) {}
void YappReceiver::sendCancel(const QString&) {}
void YappReceiver::armTimer() {}

} // namespace tolvan
