#include "PmbaTestUtil.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace tolvan::test;

namespace {

struct CliRun {
    int status = -1;
    QString out;
    QString err;
    QJsonObject json() const { return QJsonDocument::fromJson(out.toUtf8()).object(); }
};

class CodecCli : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path(const QString& name) const { return dir.filePath(name); }

    CliRun run(const QStringList& args) const
    {
        QProcess p;
        p.setWorkingDirectory(dir.path());
        p.start(QStringLiteral(TOLVAN_CODEC), args);
        p.waitForFinished(60000);
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
                QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
    }
};

TEST_F(CodecCli, PmbaRoundTripCarriesUtf8ArgumentsAndTheBytes)
{
    const QByteArray data("bin\0ary\xff", 8);
    ASSERT_TRUE(writeAll(path("att.bin"), data));
    QDir(dir.path()).mkdir("out");
    CliRun r = run({"pmba-create", "m.pmb", "att.bin", "--to", "TO: \u00C5sa", "--from", "K1ABC", "--subject", "a,b",
                    "--message", "l1\r\nl2"});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.json().value("size").toInt(), readAll(path("m.pmb")).size());

    r = run({"pmba-decode", "m.pmb", "out"});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    const QJsonObject o = r.json();
    EXPECT_EQ(o.value("to").toString(), "TO: \u00C5sa");
    EXPECT_EQ(o.value("from").toString(), "K1ABC");
    EXPECT_EQ(o.value("subject").toString(), "a,b");
    EXPECT_EQ(o.value("message").toString(), "l1\r\nl2");
    EXPECT_EQ(o.value("attachment_path").toString(), path("out/att.bin"));
    EXPECT_EQ(readAll(path("out/att.bin")), data);

    // A second decode keeps the file it would replace unless told --yes.
    ASSERT_TRUE(writeAll(path("out/att.bin"), "mine"));
    r = run({"pmba-decode", "m.pmb", "out"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "PMBA: A file named \"att.bin\" already exists:\n" + path("out/att.bin")
                         + "\nUse --yes to replace it.\n");
    EXPECT_EQ(readAll(path("out/att.bin")), "mine");
    r = run({"pmba-decode", "m.pmb", "out", "--yes"});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(readAll(path("out/att.bin")), data);
}

TEST_F(CodecCli, RefusedNamesReachTheTerminalEscapedAndSayWhy)
{
    const QByteArray name = "x\x1b]0;owned\x07\x7f.bin";
    const QByteArray mail = field("PMBA") + le32(1) + QByteArray(16, 0) + field(name) + le32(1) + "d"
                            + le32(static_cast<qint32>(0x98DD4ACC)); // the CRC-32 of "d"
    ASSERT_TRUE(writeAll(path("bad.pmb"), mail));
    const CliRun r = run({"pmba-decode", "bad.pmb", "."});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "PMBA: Invalid attachment filename.\nThe name \"x\\x1B]0;owned\\x07\\x7F.bin\" cannot be "
                     "written: it holds the control character U+001B.\n");
}

TEST_F(CodecCli, FailuresPrintTheCodecsMessageAndBadUsageTheUsage)
{
    QByteArray mail = field("PMBA") + le32(1) + QByteArray(16, 0) + field("n") + le32(1) + "d" + le32(0);
    ASSERT_TRUE(writeAll(path("bad.pmb"), mail));
    CliRun r = run({"pmba-decode", "bad.pmb", "."});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "PMBA: CRC-32 CHECK FAILED!\nThe attachment may be corrupted.\n");
    EXPECT_TRUE(r.out.isEmpty());

    for (const QStringList& args : {QStringList{"pmba-decode", "bad.pmb"}, QStringList{"pmba-create", "x", "y", "--to"},
                                    QStringList{"mail-encode", "--cc", "x"}, QStringList{"filemail-read"}}) {
        r = run(args);
        EXPECT_EQ(r.status, 2) << args.join(' ').toStdString();
        EXPECT_TRUE(r.err.startsWith("Usage: tolvan-codec ")) << r.err.toStdString();
    }
}

TEST_F(CodecCli, FileMailRoundTripKeepsAnExistingFileWithoutYes)
{
    ASSERT_TRUE(writeAll(path("notes.txt"), "carried"));
    QDir(dir.path()).mkdir("out");
    CliRun r = run({"filemail-write", "File - 1.txt", "notes.txt", "--message", "hi", "--to", "A"});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    ASSERT_TRUE(writeAll(path("out/notes.txt"), "mine"));

    r = run({"filemail-read", "File - 1.txt", "out"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(readAll(path("out/notes.txt")), "mine");

    r = run({"filemail-read", "File - 1.txt", "out", "--yes"});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.json().value("message").toString(), "hi");
    EXPECT_EQ(r.json().value("to").toString(), "A");
    EXPECT_EQ(r.json().value("filename").toString(), "notes.txt");
    EXPECT_EQ(r.json().value("path").toString(), path("out/notes.txt"));
    EXPECT_EQ(readAll(path("out/notes.txt")), "carried");
}

TEST_F(CodecCli, CodedMailLineEncodesAndDecodesAsTheInboxDoes)
{
    CliRun r = run({"mail-encode", "--to", "to: a", "--subject", "S", "--message", "hi", "--from", "B"});
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "84 79 58 32 65,83,72 73,66\n");

    ASSERT_TRUE(writeAll(path("MAIL - 1.txt"), "84 79 58 32 65,83,72 44 73,66\r\n"));
    r = run({"mail-decode", "MAIL - 1.txt"});
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(r.json().value("message").toString(), "H,I");
    EXPECT_EQ(r.json().value("from").toString(), "B");

    ASSERT_TRUE(writeAll(path("empty.txt"), {}));
    r = run({"mail-decode", "empty.txt"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "null\n");

    ASSERT_TRUE(writeAll(path("short.txt"), "1,2,3"));
    r = run({"mail-decode", "short.txt"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "File content is not in the expected format.\n");
}

} // namespace

// The estimate prints what the writers would write, and their refusals in
// their own words, without writing anything itself.
TEST_F(CodecCli, EstimateMatchesTheWritersAndWritesNothing)
{
    ASSERT_TRUE(writeAll(path("photo.jpg"), QByteArray(31745, 'x')));
    struct Run {
        QStringList texts;
        bool lossy;
    };
    for (const Run& c : {Run{{"--to", "K1ABC", "--from", "DL2XYZ"}, false},
                         Run{{"--to", "K1ABC", "--message", "a, b"}, false},
                         Run{{"--to", "\u042F", "--from", "x"}, false}, Run{{"--to", "\u042F", "--from", "x"}, true}}) {
        QDir(dir.path()).removeRecursively();
        QDir().mkpath(dir.path());
        ASSERT_TRUE(writeAll(path("photo.jpg"), QByteArray(31745, 'x')));
        const QStringList extra = c.texts + (c.lossy ? QStringList{"--lossy"} : QStringList{});
        const CliRun e = run(QStringList{"estimate", "photo.jpg", "--baud", "9600"} + extra);
        ASSERT_EQ(e.status, 0) << e.err.toStdString();
        EXPECT_EQ(entries(dir.path()), QStringList{"photo.jpg"});
        const QJsonObject o = e.json();
        const std::pair<const char*, QStringList> writers[] = {
            {"pmba", {"pmba-create", "m.pmb", "photo.jpg"}},
            {"filemail", {"filemail-write", "f.txt", "photo.jpg"}},
            {"sevenplus", {"7plus-encode", "photo.jpg"}}};
        for (const auto& [key, args] : writers) {
            const QJsonObject form = o.value(key).toObject();
            const CliRun w = run(args + (QString(key) == "sevenplus" ? QStringList{} : extra));
            if (w.status != 0) {
                EXPECT_EQ(form.value("refused").toString(), w.err) << key;
                continue;
            }
            const qint64 written = QString(key) == "sevenplus"
                                       ? readAll(path("7PLUS_OUTPUT/PHOTO.P01")).size()
                                             + readAll(path("7PLUS_OUTPUT/PHOTO.P02")).size()
                                       : readAll(path(args[1])).size();
            EXPECT_EQ(form.value("bytes").toInteger(), written) << key;
            EXPECT_GT(form.value("seconds").toDouble(), 0) << key;
        }
        EXPECT_EQ(o.value("sevenplus").toObject().value("parts").toInt(), 2);
    }
    EXPECT_EQ(run({"estimate", "photo.jpg", "--baud", "fast"}).status, 2);
}
