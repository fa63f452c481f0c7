#pragma once

#include "sevenplus/Mod7plus.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace tolvan::sevenplus_test {

// Whether a codec operation succeeded; text receives its report or its
// failure, whichever it gave.
inline bool reported(const Result<QString>& result, QString& text)
{
    text = Mod7plus::ReportText(result);
    return result.ok();
}

inline QByteArray randomBytes(qsizetype size, quint32 seed = 7)
{
    QRandomGenerator rng(seed);
    QByteArray b(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i) {
        b[i] = char(rng.generate() & 0xFF);
    }
    return b;
}

inline QDateTime exampleTime()
{
    return QDateTime(QDate(2025, 8, 21), QTime(14, 30, 10));
}

inline void writeFile(const QString& path, const QByteArray& bytes, const QDateTime& mtime = exampleTime())
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(f.write(bytes), bytes.size());
    f.close();
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    ASSERT_TRUE(f.setFileTime(mtime, QFileDevice::FileModificationTime));
}

inline QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline QByteArray headerText(const QByteArray& part)
{
    return part.left(62);
}

// A host that answers the replace question from a list and remembers it.
struct ScriptedHost {
    QList<bool> answers;
    QStringList titles;
    QStringList texts;
    QList<int> progress;

    Mod7plus::Host host()
    {
        return {[this](const QString& title, const QString& text) {
                    titles << title;
                    texts << text;
                    return answers.isEmpty() ? false : answers.takeFirst();
                },
                [this](int p) { progress << p; }};
    }
};

// Seals a 62-character text into a header/footer block.
inline Mod7plus::Block sealedBlock(const QByteArray& text)
{
    Mod7plus::Block b{};
    std::copy_n(reinterpret_cast<const std::uint8_t*>(text.constData()), 62, b.data());
    Mod7plus::Seal7PlusBlock(b);
    return b;
}

inline void replaceHeader(const QString& partPath, const QByteArray& text)
{
    QByteArray data = readFile(partPath);
    const Mod7plus::Block b = sealedBlock(text.leftJustified(62, ' ', true));
    data.replace(0, 69, QByteArray(reinterpret_cast<const char*>(b.data()), 69));
    writeFile(partPath, data);
}

} // namespace tolvan::sevenplus_test
