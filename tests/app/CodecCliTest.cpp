#include "mail/MailCodec.h"
#include "pmba/FileMail.h"
#include "pmba/ModPMBA.h"
#include "sevenplus/Mod7plus.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <atomic>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

TEST(CodecCli, ReadersRefuseCutMailsFifosAndDevicesAtOnce)
{
    QTemporaryDir dir;
    writeFile(dir.filePath("a.bin"), randomBytes(5000));
    ASSERT_EQ(codec({"filemail-write", dir.filePath("File a.txt"), dir.filePath("a.bin")}).status, 0);
    writeFile(dir.filePath("cut.txt"), readFile(dir.filePath("File a.txt")).chopped(1000));
    ASSERT_EQ(::mkfifo(QFile::encodeName(dir.filePath("fifo")).constData(), 0600), 0);
    QDir(dir.path()).mkdir("out");
    for (const QStringList& args :
         {QStringList{"filemail-read", dir.filePath("cut.txt"), dir.filePath("out")},
          QStringList{"mail-decode", dir.filePath("fifo")}, QStringList{"mail-decode", "/dev/zero"}}) {
        const CliRun r = codec(args);
        EXPECT_EQ(r.status, 1) << args.join(' ').toStdString() << ": " << r.err.toStdString();
    }
    EXPECT_TRUE(QDir(dir.filePath("out")).isEmpty()) << "no shorter file taken for the whole one";
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
        // A new set over an old one: the old set stays whole.
        {"7plus-encode --yes", {"7plus-encode", "--yes", big}, dir.filePath("7PLUS_OUTPUT")},
    };
    const auto snapshot = [](const QString& folder) {
        QMap<QString, QByteArray> files;
        for (const QString& name : QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System)) {
            files[name] = readFile(folder + "/" + name);
        }
        return files;
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const QMap<QString, QByteArray> before = snapshot(c.folder);
        const CliRun r = codec(c.args, {}, 16384);
        EXPECT_EQ(r.status, 1) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(" bytes could be written to ")) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains("the disk may be full")) << r.err.toStdString();
        // The figures are the whole file's, not those of the piece being
        // written (a 7PLUS part is a file of its own, smaller than the source).
        static const QRegularExpression figures(QStringLiteral("Only (\\d+) of (\\d+) bytes"));
        if (const QRegularExpressionMatch m = figures.match(r.err);
            m.hasMatch() && !QByteArrayView(c.label).startsWith("7plus-encode")) {
            EXPECT_GE(m.captured(2).toLongLong(), 100000) << r.err.toStdString();
        }
        EXPECT_EQ(snapshot(c.folder), before);
    }
    // Nothing stands in the way of the next run once there is room.
    EXPECT_EQ(codec({"7plus-decode", dir.filePath("7PLUS_OUTPUT/BIG.P01")}).status, 0);
}

// The headless watch: a packet program writes three mails slowly (pauses
// longer than the quiet period and a tick, the file held open), another file
// is moved in whole. Nothing is printed before a file's last byte; then one
// JSON line each, and SIGTERM ends the watch cleanly.
TEST(CodecCli, WatchPrintsEachCompleteArrivalOnce)
{
    QTemporaryDir dir;
    const QString rx = dir.filePath("rx");
    QDir().mkpath(rx);
    writeFile(rx + "/known-before.txt", "x");
    writeFile(dir.filePath("att.bin"), randomBytes(3000));
    ASSERT_TRUE(tolvan::ModPMBA::PMBA_CreateBinaryMail(dir.filePath("att.bin"), dir.filePath("p.pmb"), "to", "from",
                                                       "subject", "message")
                    .ok());
    const QList<QPair<QString, QByteArray>> slow = {
        {"MAIL - 1.txt",
         tolvan::MailCodec::FormatCodedMailLine("TO: A", "S", "A MESSAGE", "FROM- B").toLatin1() + "\r\n"},
        {"PMBA - 1.pmb", readFile(dir.filePath("p.pmb"))},
        {"File - 1.txt", tolvan::FileMail::Build({"m", "s", "t", "f", "a.bin", randomBytes(2000)})}};
    writeFile(dir.filePath("noise.bin"), "nothing to see");

    QProcess p;
    p.start(QStringLiteral(TOLVAN_CODEC_EXE), {"watch", rx, "--quiet-ms", "300"});
    p.setReadChannel(QProcess::StandardError);
    ASSERT_TRUE(p.waitForReadyRead(30000));
    ASSERT_TRUE(p.readAllStandardError().startsWith("tolvan-codec: watching "));
    p.setReadChannel(QProcess::StandardOutput);

    std::atomic<bool> lastByte = false;
    std::thread writer([&] {
        std::vector<int> fds;
        for (const auto& f : slow) {
            fds.push_back(::open(QFile::encodeName(rx + "/" + f.first).constData(), O_WRONLY | O_CREAT, 0644));
        }
        for (int piece = 0; piece < 3; ++piece) {
            for (size_t i = 0; i < fds.size(); ++i) {
                const QByteArray& b = slow[qsizetype(i)].second;
                const qsizetype from = b.size() * piece / 3;
                [[maybe_unused]] const ssize_t n =
                    ::write(fds[i], b.constData() + from, size_t(b.size() * (piece + 1) / 3 - from));
            }
            if (piece < 2) {
                std::this_thread::sleep_for(std::chrono::milliseconds(450));
            }
        }
        lastByte = true;
        for (const int fd : fds) {
            ::close(fd);
        }
    });
    QByteArray out;
    while (!lastByte) {
        p.waitForReadyRead(50);
        out += p.readAllStandardOutput();
        if (!lastByte) {
            ASSERT_TRUE(out.isEmpty()) << out.toStdString();
        }
    }
    writer.join();
    QFile::rename(dir.filePath("noise.bin"), rx + "/noise.bin");
    ASSERT_TRUE(tolvan::Mod7plus::Encode7PlusFile(dir.filePath("att.bin")).ok());
    QFile::rename(dir.filePath("7PLUS_OUTPUT/ATT.P01"), rx + "/ATT.P01");
    // A set of two parts is reported once, when its second part has come.
    writeFile(dir.filePath("big.bin"), randomBytes(40000));
    ASSERT_TRUE(tolvan::Mod7plus::Encode7PlusFile(dir.filePath("big.bin")).ok());
    const auto waitForLines = [&](int n) {
        for (int i = 0; i < 100 && out.count('\n') < n; ++i) {
            p.waitForReadyRead(100);
            out += p.readAllStandardOutput();
        }
    };
    waitForLines(6);
    QFile::rename(dir.filePath("7PLUS_OUTPUT/BIG.P02"), rx + "/big.p02");
    waitForLines(7);
    EXPECT_FALSE(out.contains("BIG.BIN"));
    QFile::rename(dir.filePath("7PLUS_OUTPUT/BIG.P01"), rx + "/big.p01");
    waitForLines(9);
    p.terminate();
    ASSERT_TRUE(p.waitForFinished(10000));
    out += p.readAllStandardOutput();
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 0);

    QStringList lines = QString::fromUtf8(out).split('\n', Qt::SkipEmptyParts);
    lines.sort();
    const auto line = [](const QString& name, qint64 size, const char* kind) {
        return QStringLiteral("{\"name\": \"%1\", \"size\": %2, \"kind\": \"%3\"}").arg(name).arg(size).arg(kind);
    };
    const auto set = [](const char* name, int parts) {
        return QStringLiteral("{\"kind\": \"sevenplus-set\", \"name\": \"%1\", \"parts\": %2, \"complete\": true}")
            .arg(name)
            .arg(parts);
    };
    EXPECT_EQ(lines, (QStringList{set("ATT.BIN", 1), set("BIG.BIN", 2),
                                  line("ATT.P01", QFileInfo(rx + "/ATT.P01").size(), "sevenplus-part"),
                                  line("File - 1.txt", slow[2].second.size(), "filemail"),
                                  line("MAIL - 1.txt", slow[0].second.size(), "mail"),
                                  line("PMBA - 1.pmb", slow[1].second.size(), "pmba"),
                                  line("big.p01", QFileInfo(rx + "/big.p01").size(), "sevenplus-part"),
                                  line("big.p02", QFileInfo(rx + "/big.p02").size(), "sevenplus-part"),
                                  line("noise.bin", 14, "unknown")}));
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
    EXPECT_EQ(r.out,
              "{\"coded\":false,\"from\":\"\",\"message\":\"Hello John, 73, Bob\",\"subject\":\"\",\"to\":\"\"}\n");
}
