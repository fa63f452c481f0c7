#include "terminal/ChatText.h"

#include "platform/AnsiCodec.h"

#include <QStringDecoder>

namespace tolvan {

namespace {

bool isBidiControl(char16_t c)
{
    // Embeddings and overrides (LRE, RLE, PDF, LRO, RLO) and isolates (LRI,
    // RLI, FSI, PDI): they reorder what follows on the screen.
    return (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

} // namespace

QStringList ChatText::feed(QByteArrayView bytes)
{
    QStringList lines;
    for (const char c : bytes) {
        if (c == '\n' && m_afterCr) {
            m_afterCr = false;
            continue;
        }
        m_afterCr = c == '\r';
        if (c == '\r' || c == '\n') {
            lines << Decode(std::exchange(m_partial, {}));
            continue;
        }
        m_partial.append(c);
        if (m_partial.size() >= kMaxLine) {
            // Never an unbounded line from a station that sends no ends; cut
            // where no UTF-8 character is split.
            qsizetype cut = m_partial.size();
            while (cut > kMaxLine - 4 && (quint8(m_partial.at(cut - 1)) & 0xC0) == 0x80) {
                --cut;
            }
            if (cut > kMaxLine - 4 && (quint8(m_partial.at(cut - 1)) & 0xC0) == 0xC0) {
                --cut;
            }
            lines << Decode(QByteArrayView(m_partial).first(cut));
            m_partial.remove(0, cut);
        }
    }
    return lines;
}

QString ChatText::flush()
{
    m_afterCr = false;
    return m_partial.isEmpty() ? QString() : Decode(std::exchange(m_partial, {}));
}

QString ChatText::Decode(QByteArrayView line)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(line);
    if (utf8.hasError()) {
        text = Ansi::decode(line);
    }
    return Neutralise(text);
}

QString ChatText::Neutralise(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar ch : text) {
        const char16_t c = ch.unicode();
        if (c == u'\t') {
            out.append(ch);
        } else if (c < 0x20) {
            out.append(u'^').append(QChar(char16_t(c + 0x40)));
        } else if (c == 0x7F) {
            out.append(QLatin1String("^?"));
        } else if ((c >= 0x80 && c <= 0x9F) || c == 0x2028 || c == 0x2029) {
            out.append(u'<').append(QString::number(c, 16).toUpper()).append(u'>');
        } else if (!isBidiControl(c)) {
            out.append(ch);
        }
    }
    return out;
}

} // namespace tolvan
