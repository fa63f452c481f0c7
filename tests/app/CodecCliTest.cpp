#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct CliRun {
    int status = -1;
    QString out;
    QString err;
};

CliRun codec(const QStringList& args, const QString& workDir = {})
{
    QProcess p;
    if (!workDir.isEmpty()) {
        p.setWorkingDirectory(workDir);
    }
    p.start(QStringLiteral(TOLVAN_CODEC_EXE), args);
    p.waitForFinished(120000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QByteArray randomBytes(int n)
{
    QByteArray b(n, Qt::Uninitialized);
    QRandomGenerator rng(99);
    for (char& c : b) {
        c = char(rng.generate());
    }
    return b;
}

} // namespace

TEST(CodecCli, EncodesAndDecodesWithReportsOnStdout)
{
    QTemporaryDir dir;
    // A UTF-8 name given relative to the working folder.
    const QString name = QStringLiteral("f\u00f6to.bin");
    const QByteArray data = randomBytes(70000);
    writeFile(dir.filePath(name), data);

    CliRun r = codec({"7plus-encode", name}, dir.path());
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.startsWith("7PLUS MULTIPART ENCODING COMPLETE\n")) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("Total parts: 3\n"));
    EXPECT_FALSE(r.out.contains('\r'));
    EXPECT_TRUE(r.err.isEmpty());

    const QString part1 = dir.filePath(QStringLiteral("7PLUS_OUTPUT/F\u00d6TO.P01"));
    r = codec({"7plus-decode", part1});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.endsWith("RESULT: DECODING COMPLETE\n"));
    EXPECT_EQ(readFile(dir.filePath(QStringLiteral("7PLUS_OUTPUT/7PLUS_RECEIVED/F\u00d6TO.BIN"))), data);
}

TEST(CodecCli, ExistingResultsNeedYes)
{
    QTemporaryDir dir;
    writeFile(dir.filePath("a.bin"), randomBytes(100));
    ASSERT_EQ(codec({"7plus-encode", dir.filePath("a.bin")}).status, 0);

    CliRun r = codec({"7plus-encode", dir.filePath("a.bin")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "7PLUS encoding cancelled. Existing files preserved.\n");
    EXPECT_TRUE(r.out.isEmpty());
    EXPECT_EQ(codec({"--yes", "7plus-encode", dir.filePath("a.bin")}).status, 2);
    EXPECT_EQ(codec({"7plus-encode", "--yes", dir.filePath("a.bin")}).status, 0);

    const QString p1 = dir.filePath("7PLUS_OUTPUT/A.P01");
    ASSERT_EQ(codec({"7plus-decode", p1}).status, 0);
    r = codec({"7plus-decode", p1});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "7PLUS decoding cancelled.\nExisting file preserved.\n");
    EXPECT_EQ(codec({"7plus-decode", p1, "--yes"}).status, 0);
    EXPECT_FALSE(QFile::exists(dir.filePath("7PLUS_OUTPUT/7PLUS_RECEIVED/A.BIN.BAK")));
}

TEST(CodecCli, FailuresAndBadUsage)
{
    QTemporaryDir dir;
    CliRun r = codec({"7plus-decode", dir.filePath("none.P01")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Unable to read first 7PLUS header.\n");

    for (const QStringList& args : {QStringList{}, QStringList{"nonsense"}, QStringList{"7plus-encode"},
                                    QStringList{"7plus-encode", "a", "b"}, QStringList{"7plus-decode", "--force", "a"}}) {
        r = codec(args);
        EXPECT_EQ(r.status, 2) << args.join(' ').toStdString();
        EXPECT_TRUE(r.err.contains("Usage: tolvan-codec")) << r.err.toStdString();
    }
    r = codec({"--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(r.out.contains("7plus-encode FILE [--yes]"));
}

// Text the code page lacks would reach the other station as "?": every
// command that writes mail text refuses it, naming the characters, unless
// --lossy is given.
TEST(CodecCli, TextTheCodePageLacksNeedsLossy)
{
    QTemporaryDir dir;
    writeFile(dir.filePath("att.bin"), "data");
    const QString cyrillic = QString::fromUtf8("\u0414\u0430");
    const struct {
        QStringList args;
        QString written; // the file the command writes, if any
    } commands[] = {
        {{"mail-encode", "--to", "A", "--subject", cyrillic, "--message", "m", "--from", "B"}, {}},
        {{"pmba-create", "m.pmb", "att.bin", "--message", cyrillic}, "m.pmb"},
        {{"filemail-write", "File - 1.txt", "att.bin", "--from", cyrillic}, "File - 1.txt"},
    };
    for (const auto& c : commands) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        CliRun r = codec(c.args, dir.path());
        EXPECT_EQ(r.status, 1);
        EXPECT_TRUE(r.err.contains(QString::fromUtf8("\u0414 (U+0414), \u0430 (U+0430)"))) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains("--lossy"));
        EXPECT_TRUE(r.out.isEmpty());
        if (!c.written.isEmpty()) {
            EXPECT_FALSE(QFile::exists(dir.filePath(c.written)));
        }

        r = codec(QStringList(c.args) << "--lossy", dir.path());
        EXPECT_EQ(r.status, 0) << r.err.toStdString();
        if (c.written.isEmpty()) {
            EXPECT_EQ(r.out, "65,63 63,77,66\n");
        } else {
            EXPECT_TRUE(QFile::exists(dir.filePath(c.written)));
        }
    }
}

TEST(CodecCli, FileMailWriteRefusesCommasInItsTexts)
{
    QTemporaryDir dir;
    writeFile(dir.filePath("att.bin"), "data");
    for (const char* option : {"--to", "--from", "--subject", "--message"}) {
        const CliRun r = codec({"filemail-write", "File - 1.txt", "att.bin", option, "one, two"}, dir.path());
        EXPECT_EQ(r.status, 1) << option;
        EXPECT_TRUE(r.err.contains("cannot carry a comma")) << r.err.toStdString();
        EXPECT_FALSE(QFile::exists(dir.filePath("File - 1.txt")));
    }
}

TEST(CodecCli, MailDecodeShowsPlainTextWhole)
{
    QTemporaryDir dir;
    writeFile(dir.filePath("MAIL - 1.txt"), "Hello John, 73, Bob\r\n");
    const CliRun r = codec({"mail-decode", "MAIL - 1.txt"}, dir.path());
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, "{\"coded\":false,\"from\":\"\",\"message\":\"Hello John, 73, Bob\",\"subject\":\"\",\"to\":\"\"}\n");
}
