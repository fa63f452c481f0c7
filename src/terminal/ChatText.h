#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

namespace tolvan {

// The text of a conversation as it comes off the air: bytes in pieces of any
// size, lines ended by CR, LF or CR LF, in UTF-8 or Windows-1252, and possibly
// holding terminal control sequences. Received text is only ever shown: every
// character that could steer a terminal or reorder the display is made
// visible or removed, never passed on.
//
// One object per conversation keeps the line that has begun but not ended.
class ChatText {
public:
    // The longest line kept waiting for its end; a longer one is given out
    // in pieces of this size.
    static constexpr qsizetype kMaxLine = 4096;

    // Takes the next received bytes and gives the lines they completed,
    // decoded and made safe.
    QStringList feed(QByteArrayView bytes);
    // The line begun but not ended (the link went away, or a prompt waits
    // for an answer), decoded; empty when there is none.
    QString flush();
    bool hasPartial() const { return !m_partial.isEmpty(); }

    // One line's bytes as text: UTF-8 when they are valid UTF-8, otherwise
    // Windows-1252; then made safe (see Neutralise).
    static QString Decode(QByteArrayView line);
    // Control characters become visible: C0 (except TAB) and DEL in caret form
    // ("^[" for ESC, "^?" for DEL), C1 and the line and paragraph separators
    // as "<9B>", "<2028>"; the bidirectional embeddings, overrides and
    // isolates are removed.
    static QString Neutralise(const QString& text);

private:
    QByteArray m_partial;
    bool m_afterCr = false; // an LF right after a CR ends no second line
};

} // namespace tolvan
