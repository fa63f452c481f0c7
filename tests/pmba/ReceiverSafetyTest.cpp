// The three ways a file arrives from another station (PMBA attachment, regular
// file mail, 7PLUS set) and the three ways one is sent, held to one rule: no
// write through a link, no execute bits, no own-file or control-character
// names, and nothing sent that the far end would refuse.

#include "PmbaTestUtil.h"
#include "config/ConfigStore.h"
#include "mail/MailCodec.h"
#include "mail/MailFiles.h"
#include "platform/AnsiCodec.h"
#include "pmba/FileMail.h"
#include "pmba/ModPMBA.h"
#include "sevenplus/SevenPlusTestUtil.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <sys/stat.h>
#include <tuple>
#include <unistd.h>

using namespace tolvan;
using namespace tolvan::test;
namespace S = tolvan::sevenplus_test;

namespace {

struct Outcome {
    bool ok = false;
    QString message;
};

const QByteArray kData = S::randomBytes(100, 3);

// One receiver: where its file goes, and how a file of a given name (as
// code-page bytes) arrives through it.
struct Receiver {
    const char* label;
    std::function<QString(const QString& root)> outFolder;
    std::function<Outcome(const QString& root, const QByteArray& name)> deliver;
};

Outcome viaPmba(const QString& root, const QByteArray& name)
{
    QByteArray mail = field("PMBA") + le32(1) + field("T") + field("F") + field("S") + field("M") + field(name);
    mail += le32(qint32(kData.size())) + kData + le32(qint32(ModPMBA::PMBA_Crc32(kData)));
    writeAll(root + "/in.pmb", mail);
    const Result<ModPMBA::DecodedPmbaMail> r = ModPMBA::PMBA_DecodeBinaryMail(root + "/in.pmb", root + "/out");
    return {r.ok(), r.error()};
}

Outcome viaFileMail(const QString& root, const QByteArray& name)
{
    const Result<FileMail::Mail> read =
        FileMail::Parse(FileMail::Build({"m", "s", "t", "f", Ansi::decode(name), kData}));
    if (!read.ok()) {
        return {false, read.error()};
    }
    const Result<FileMail::SavedFile> r = FileMail::SaveCarriedFile(read.value(), root + "/out", true);
    return {r.ok(), r.error()};
}

Outcome viaSevenPlus(const QString& root, const QByteArray& name)
{
    QDir().mkpath(root + "/src");
    S::writeFile(root + "/src/pic.bin", kData);
    const QString part = root + "/src/7PLUS_OUTPUT/PIC.P01";
    if (!QFileInfo::exists(part)) {
        if (const Result<QString> encoded = Mod7plus::Encode7PlusFile(root + "/src/pic.bin"); !encoded.ok()) {
            return {false, encoded.error()};
        }
    }
    S::replaceHeader(part, (" go_7+. 001 of 001 " + name + " 0000100 0080 200 (7PLUS v2.2) ").leftJustified(62));
    S::ScriptedHost host;
    host.answers = {true};
    const Result<QString> decoded = Mod7plus::DecodeReceived7Plus(part, host.host());
    return {decoded.ok(), Mod7plus::ReportText(decoded)};
}

const Receiver kReceivers[] = {
    {"Pmba", [](const QString& root) { return root + "/out"; }, viaPmba},
    {"FileMail", [](const QString& root) { return root + "/out"; }, viaFileMail},
    {"SevenPlus", [](const QString& root) { return root + "/src/7PLUS_OUTPUT/7PLUS_RECEIVED"; }, viaSevenPlus},
};

class ReceiverSafety : public ::testing::TestWithParam<Receiver> {
protected:
    QTemporaryDir dir;
    QString root() const { return dir.path(); }
    QString out() const { return GetParam().outFolder(root()); }
    void SetUp() override { ASSERT_TRUE(QDir().mkpath(out())); }
    Outcome deliver(const QByteArray& name) const { return GetParam().deliver(root(), name); }
};

std::string receiverName(const ::testing::TestParamInfo<Receiver>& info)
{
    return info.param.label;
}

TEST_P(ReceiverSafety, ALinkAtTheOutputNameIsRefusedAndNothingIsWrittenThroughIt)
{
    QDir().mkpath(root() + "/elsewhere");
    for (const bool dangling : {true, false}) {
        SCOPED_TRACE(dangling ? "dangling link" : "link to a file");
        const QString target = root() + "/elsewhere/" + (dangling ? "new" : "victim");
        if (!dangling) {
            ASSERT_TRUE(writeAll(target, "keep"));
        }
        const QString link = out() + "/PIC.BIN";
        QFile::remove(link);
        ASSERT_TRUE(QFile::link(target, link));

        const Outcome r = deliver("PIC.BIN");
        EXPECT_FALSE(r.ok);
        EXPECT_TRUE(r.message.contains("symbolic link")) << r.message.toStdString();
        EXPECT_TRUE(r.message.contains(link)) << r.message.toStdString();
        EXPECT_EQ(QFileInfo(target).exists(), !dangling);
        if (!dangling) {
            EXPECT_EQ(readAll(target), "keep");
        }
        EXPECT_TRUE(QFileInfo(link).isSymLink());
        EXPECT_EQ(entries(out()), QStringList{"PIC.BIN"}); // no temporary file left
    }
}

TEST_P(ReceiverSafety, ReplacingAnExecutableLeavesOnlyReadAndWriteBits)
{
    const QString existing = out() + "/PIC.BIN";
    ASSERT_TRUE(writeAll(existing, "#!/bin/sh\n"));
    ASSERT_EQ(::chmod(QFile::encodeName(existing).constData(), 04755), 0);

    const Outcome r = deliver("PIC.BIN");
    ASSERT_TRUE(r.ok) << r.message.toStdString();
    EXPECT_EQ(readAll(existing), kData);
    struct stat st {};
    ASSERT_EQ(::lstat(QFile::encodeName(existing).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0644u);
    EXPECT_EQ(entries(out()), QStringList{"PIC.BIN"});
}

TEST_P(ReceiverSafety, RefusedNamesWriteNothing)
{
    struct Case {
        QByteArray name;
        const char* why;
    };
    const Case cases[] = {
        {"A\x07"
         "B.BIN",
         "control character U+0007"},
        {"A\x7F"
         "B.BIN",
         "control character U+007F"},
        {"A\x81"
         "B.BIN",
         "control character U+0081"}, // a C1 control in the code page
        {"TEMP", "own files"},
        {"MAIL.DAT", "own files"},
        {"Send.Dat", "own files"},
        {"TOLVAN-PM", "own files"},
        {"..", "folder"},
        // Names a station on Windows could not write, or that hide the file
        // or pass for an option here.
        {".HIDDEN", "begins with a dot"},
        {"-RF.BIN", "option"},
        {"NAME.", "ends with a space or a dot"},
        {"CON", "Windows device (CON)"},
        {"nul.txt", "Windows device (nul)"},
        {"Com1.JPG", "Windows device (Com1)"},
        {"LPT9.X.Y", "Windows device (LPT9)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        const Outcome r = deliver(c.name);
        EXPECT_FALSE(r.ok);
        EXPECT_TRUE(r.message.contains(c.why)) << r.message.toStdString();
        // The refused name is quoted, its control characters spelt out.
        if (c.name.contains('\x07')) {
            EXPECT_TRUE(r.message.contains("A\\x07B.BIN")) << r.message.toStdString();
        }
        EXPECT_FALSE(std::any_of(r.message.begin(), r.message.end(),
                                 [](QChar ch) { return ch.unicode() < 0x20 && ch != u'\n' && ch != u'\r'; }));
        EXPECT_EQ(entries(out()), QStringList());
    }
}

INSTANTIATE_TEST_SUITE_P(AllReceivers, ReceiverSafety, ::testing::ValuesIn(kReceivers), receiverName);

TEST(SevenPlusBackupName, ALinkThereIsLeftAloneSinceNoBackupIsMade)
{
    QTemporaryDir dir;
    const QString out = dir.path() + "/src/7PLUS_OUTPUT/7PLUS_RECEIVED";
    ASSERT_TRUE(QDir().mkpath(out));
    ASSERT_TRUE(writeAll(out + "/PIC.BIN", "old"));
    const QString target = dir.path() + "/outside";
    ASSERT_TRUE(QFile::link(target, out + "/PIC.BIN.BAK"));

    const Outcome r = viaSevenPlus(dir.path(), "PIC.BIN");
    EXPECT_TRUE(r.ok) << r.message.toStdString();
    EXPECT_FALSE(QFileInfo::exists(target));
    EXPECT_EQ(readAll(out + "/PIC.BIN"), kData);
    EXPECT_EQ(entries(out), (QStringList{"PIC.BIN", "PIC.BIN.BAK"}));
}

// ---- the senders refuse what the receivers would refuse ----------------------

struct Sender {
    const char* label;
    std::function<Outcome(const QString& attachment, const QString& outFolder)> send;
};

const Sender kSenders[] = {
    {"Pmba",
     [](const QString& a, const QString& out) {
         const Result<qint64> r = ModPMBA::PMBA_CreateBinaryMail(a, out + "/m.pmb", "t", "f", "s", "m");
         return Outcome{r.ok(), r.error()};
     }},
    {"FileMail",
     [](const QString& a, const QString& out) {
         const Result<qint64> r = FileMail::Write(a, out + "/File.txt", "t", "f", "s", "m");
         return Outcome{r.ok(), r.error()};
     }},
    {"SevenPlus",
     [](const QString& a, const QString&) {
         const Result<QString> encoded = Mod7plus::Encode7PlusFile(a);
         return Outcome{encoded.ok(), Mod7plus::ReportText(encoded)};
     }},
};

class SenderRefusal : public ::testing::TestWithParam<Sender> {};

TEST_P(SenderRefusal, NamesTheFarEndWouldRefuseAreNotSent)
{
    struct Case {
        QString name;
        const char* why;
    };
    const Case cases[] = {
        {QStringLiteral("\u0416.bin"), "\"\u0416\" (U+0416), which the code page cannot carry"},
        {QStringLiteral("temp"), "own files"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        QTemporaryDir dir;
        const QString attachment = dir.path() + u'/' + c.name;
        S::writeFile(attachment, "data");
        const QString out = dir.path() + "/out";
        QDir().mkpath(out);
        const Outcome r = GetParam().send(attachment, out);
        EXPECT_FALSE(r.ok);
        EXPECT_TRUE(r.message.contains(QString::fromUtf8(c.why))) << r.message.toStdString();
        EXPECT_EQ(entries(out), QStringList());
        EXPECT_EQ(entries(dir.path() + "/7PLUS_OUTPUT"), QStringList());
    }
}

INSTANTIATE_TEST_SUITE_P(AllSenders, SenderRefusal, ::testing::ValuesIn(kSenders),
                         [](const ::testing::TestParamInfo<Sender>& info) { return std::string(info.param.label); });

// ---- the readers refuse what no writer makes, before reading it ---------------

TEST(ReaderLimits, TheLongestCodedMailASenderWritesIsTheLimitsUnit)
{
    const QString field(MailCodec::kMaxFieldLength, QChar(0xFF)); // every code three digits
    const QString line = MailCodec::FormatCodedMailLine(field, field, field, field);
    EXPECT_EQ(line.size() + 2, MailCodec::kMaxCodedLineBytes);
}

TEST(ReaderLimits, AFileLongerThanAnyWriterMakesIsRefusedByName)
{
    QTemporaryDir dir;
    const struct {
        const char* label;
        qint64 limit;
        std::function<QString(const QString&)> read; // the refusal, or empty
    } readers[] = {
        {"file mail", FileMail::kMaxFileMailBytes,
         [](const QString& p) {
             const Result<FileMail::Mail> r = FileMail::Read(p);
             return r.error();
         }},
        {"coded mail", MailCodec::kMaxCodedMailFileBytes,
         [](const QString& p) { return MailFiles::ReadCodedMailFile(p).error(); }},
    };
    for (const auto& r : readers) {
        SCOPED_TRACE(r.label);
        const QString path = dir.filePath(r.label);
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_TRUE(f.resize(r.limit + 1)); // sparse: no disk space needed
        f.close();
        const QString refusal = r.read(path);
        EXPECT_TRUE(refusal.contains(path)) << refusal.toStdString();
        EXPECT_TRUE(refusal.contains(QString::number(r.limit))) << refusal.toStdString();
    }
}

TEST(ReaderLimits, EveryReaderRefusesWhatIsNoRegularFileWithoutBlocking)
{
    // A FIFO would block a plain open, /dev/zero never end, a link lead anywhere.
    QTemporaryDir dir;
    ASSERT_TRUE(writeAll(dir.filePath("plain"), "65,66,67,68\r\n"));
    using Read = std::function<QString(const QString&)>;
    const std::tuple<const char*, bool, Read> readers[] = {
        {"file mail", false, [](const QString& p) { return FileMail::Read(p).error(); }},
        {"coded mail", false, [](const QString& p) { return MailFiles::ReadCodedMailFile(p).error(); }},
        {"PMBA mail", false, [&](const QString& p) { return ModPMBA::PMBA_DecodeBinaryMail(p, dir.path()).error(); }},
        {"PMBA test", false, [](const QString& p) { return ModPMBA::IsPMBAFile(p) ? "" : "not a regular file"; }},
        {"store file", true,
         [&](const QString& p) {
             return ConfigStore(dir.path() + "/").ReadStoreLine(p.mid(p.lastIndexOf('/') + 1)).message;
         }},
        {"command line", true, [](const QString& p) { return FileMail::Read(p, SafeFile::Links::Follow).error(); }},
    };
    const std::tuple<const char*, std::function<bool(const QString&)>, bool> obstacles[] = {
        {"FIFO", [](const QString& p) { return ::mkfifo(QFile::encodeName(p).constData(), 0600) == 0; }, true},
        {"link to a device", [](const QString& p) { return QFile::link("/dev/zero", p); }, true},
        {"link to a file", [&](const QString& p) { return QFile::link(dir.filePath("plain"), p); }, false},
    };
    int n = 0;
    for (const auto& [obstacle, make, refusedByAll] : obstacles) {
        for (const auto& [reader, followsLinks, read] : readers) {
            SCOPED_TRACE(std::string(obstacle) + " read as " + reader);
            const QString path = dir.filePath(QStringLiteral("x%1.dat").arg(n++));
            ASSERT_TRUE(make(path));
            const QString refusal = read(path);
            EXPECT_EQ(refusal.contains("not a regular file"), refusedByAll || !followsLinks) << refusal.toStdString();
        }
    }
}

} // namespace
