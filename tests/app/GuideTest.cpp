// The operator guide stays true: every picture it shows exists, and every
// store file it names is one the program uses.

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QSet>

#include <gtest/gtest.h>

namespace {

QString readText(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

QString guide()
{
    return readText(QStringLiteral(TOLVAN_DOCS "/guide.md"));
}

// Every quoted text of the program's sources, as the compiler sees it.
QSet<QString> sourceLiterals()
{
    QSet<QString> literals;
    static const QRegularExpression quoted(QStringLiteral("\"([^\"\\\\\\n]*)\""));
    QDirIterator it(QStringLiteral(TOLVAN_SOURCES), {QStringLiteral("*.cpp"), QStringLiteral("*.h")}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString text = readText(it.next());
        for (const QRegularExpressionMatch& m : quoted.globalMatch(text)) {
            literals.insert(m.captured(1));
        }
    }
    return literals;
}

} // namespace

TEST(Guide, EveryScreenshotItShowsExists)
{
    const QString text = guide();
    ASSERT_FALSE(text.isEmpty());
    static const QRegularExpression image(QStringLiteral("!\\[[^\\]]*\\]\\(([^)\\s]+)\\)"));
    int images = 0;
    for (const QRegularExpressionMatch& m : image.globalMatch(text)) {
        ++images;
        EXPECT_TRUE(QFile::exists(QStringLiteral(TOLVAN_DOCS "/") + m.captured(1))) << m.captured(1).toStdString();
    }
    EXPECT_GE(images, 10);
}

TEST(Guide, EveryStoreFileItNamesIsOneTheProgramUses)
{
    const QString text = guide();
    const QSet<QString> literals = sourceLiterals();
    // File names the guide gives in code style: `send.dat`, `SentMail`, ...
    static const QRegularExpression named(QStringLiteral("`([A-Za-z0-9_-]+\\.dat)`"));
    QSet<QString> checked;
    for (const QRegularExpressionMatch& m : named.globalMatch(text)) {
        checked.insert(m.captured(1));
    }
    EXPECT_GE(checked.size(), 15);
    for (const QString& name : checked) {
        EXPECT_TRUE(literals.contains(name)) << name.toStdString() << " is named by the guide but not by the program";
    }
    // The folders the program makes inside the station folder and beside a file.
    for (const char* folder : {"SentMail", "PMBA-Binary-Received", "7PLUS_OUTPUT", "7PLUS_RECEIVED"}) {
        EXPECT_TRUE(text.contains(QStringLiteral("`%1`").arg(QLatin1String(folder)))) << folder;
        EXPECT_TRUE(literals.contains(QLatin1String(folder))) << folder;
    }
}
