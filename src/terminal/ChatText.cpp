#include "terminal/ChatText.h"

namespace tolvan {

QStringList ChatText::feed(QByteArrayView bytes)
{
    m_partial.append(bytes);
    return {};
}

QString ChatText::flush()
{
    return Decode(std::exchange(m_partial, {}));
}

QString ChatText::Decode(QByteArrayView line)
{
    return Neutralise(QString::fromLatin1(line));
}

QString ChatText::Neutralise(const QString& text)
{
    return text;
}

} // namespace tolvan
