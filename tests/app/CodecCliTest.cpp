#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/resource.h>

namespace {

struct CliRun {
    int status = -1;
    QString out;
    QString err;
};

// fileSizeLimit > 0 runs the tool under that RLIMIT_FSIZE, as a full disk or
// a quota would cut its writes short.
CliRun codec(const QStringList& args, const QString& workDir = {}, rlim_t fileSizeLimit = 0)
{
    QProcess p;
    if (!workDir.isEmpty()) {
        p.setWorkingDirectory(workDir);
    }
    if (fileSizeLimit > 0) {
        p.setChildProcessModifier([fileSizeLimit] {
            struct rlimit r {};
            ::getrlimit(RLIMIT_FSIZE, &r);
            r.rlim_cur = fileSizeLimit;
            ::setrlimit(RLIMIT_FSIZE, &r);
        });
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

// Every writer of the tool under a file-size limit: a clean failure with the
// short-write message (the tool is not killed by SIGXFSZ), and no temporary
// file, work file or partial part set left behind.
TEST(CodecCli, AFileSizeLimitFailsEveryWriterCleanly)
{
    QTemporaryDir dir;
    const QString big = dir.filePath("big.bin");
    writeFile(big, randomBytes(100000));
    ASSERT_EQ(codec({"7plus-encode", big}).status, 0);
    ASSERT_EQ(codec({"pmba-create", dir.filePath("big.pmb"), big}).status, 0);
    ASSERT_EQ(codec({"filemail-write", dir.filePath("File big.txt"), big}).status, 0);
    QDir(dir.path()).mkdir("out");
    QDir(dir.path()).mkdir("parts");
    writeFile(dir.filePath("parts/big.bin"), randomBytes(100000));

    const struct {
        const char* label;
        QStringList args;
        QString folder; // where the writer puts its file
    } cases[] = {
        {"7plus-encode", {"7plus-encode", dir.filePath("parts/big.bin")}, dir.filePath("parts/7PLUS_OUTPUT")},
        {"7plus-decode",
         {"7plus-decode", dir.filePath("7PLUS_OUTPUT/BIG.P01")},
         dir.filePath("7PLUS_OUTPUT/7PLUS_RECEIVED")},
        {"pmba-create", {"pmba-create", dir.filePath("out/new.pmb"), big}, dir.filePath("out")},
        {"pmba-decode", {"pmba-decode", dir.filePath("big.pmb"), dir.filePath("out")}, dir.filePath("out")},
        {"filemail-write", {"filemail-write", dir.filePath("out/File new.txt"), big}, dir.filePath("out")},
        {"filemail-read", {"filemail-read", dir.filePath("File big.txt"), dir.filePath("out")}, dir.filePath("out")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const CliRun r = codec(c.args, {}, 16384);
        EXPECT_EQ(r.status, 1) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(" bytes could be written to ")) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains("the disk may be full")) << r.err.toStdString();
        EXPECT_EQ(QDir(c.folder).entryList(QDir::Files | QDir::Hidden | QDir::System), QStringList());
    }
    // Nothing stands in the way of the next run once there is room.
    EXPECT_EQ(codec({"7plus-decode", dir.filePath("7PLUS_OUTPUT/BIG.P01")}).status, 0);
}
