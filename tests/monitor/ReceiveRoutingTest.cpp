#include "monitor/ReceiveRouting.h"

#include "config/ConfigStore.h"
#include "platform/fake/FakePlatform.h"
#include "pmba/FileMail.h"
#include "pmba/ModPMBA.h"
#include "sevenplus/Mod7plus.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace tolvan;
namespace R = tolvan::ReceiveRouting;
using Outcome = R::Route::Outcome;

namespace {

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<absent>");
}

bool writeAll(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

QByteArray pmbaMail(const QByteArray& name)
{
    auto le = [](qint32 v) {
        QByteArray b(4, Qt::Uninitialized);
        qToLittleEndian(v, b.data());
        return b;
    };
    auto field = [&](const QByteArray& t) { return le(qint32(t.size())) + t; };
    return field("PMBA") + le(1) + field("T") + field("F") + field("S") + field("M") + field(name) + le(3) + "abc" +
           le(qint32(ModPMBA::PMBA_Crc32("abc")));
}

// A regular file mail whose Base64 text begins with "mail": the code-page
// bytes 99 A8 A5 of its Message encode to exactly those letters.
QByteArray fileMailContainingMail()
{
    const QByteArray content = FileMail::Build({QStringLiteral("\u2122\u00A8\u00A5"), "s", "t", "f", "x.bin", "abc"});
    Q_ASSERT(content.startsWith("mail"));
    return content;
}

// A regular file mail whose Base64 text begins with "file" (bytes 7E 29 5E).
QByteArray fileMailContainingFile()
{
    const QByteArray content = FileMail::Build({QStringLiteral("~)^"), "s", "t", "f", "x.bin", "abc"});
    Q_ASSERT(content.startsWith("file"));
    return content;
}

// Part p of a 7PLUS set of `size` bytes named DATA.BIN.
QByteArray sevenPlusPart(qint64 size, int p)
{
    QTemporaryDir dir;
    writeAll(dir.filePath("data.bin"), QByteArray(size, 'm'));
    (void)Mod7plus::Encode7PlusFile(dir.filePath("data.bin"));
    return readAll(dir.filePath("7PLUS_OUTPUT/DATA.P0%1").arg(p));
}

struct RouteCase {
    const char* name;
    QString fileName;
    QByteArray content;
    Outcome outcome;
    bool deleteIncoming;
    QStringList messages;
    bool plainText = false;
};

void PrintTo(const RouteCase& c, std::ostream* os)
{
    *os << c.name;
}

class Routing : public ::testing::TestWithParam<RouteCase> {
protected:
    QTemporaryDir dir;
    ConfigStore store{dir.filePath("prog/")};
    R::Paths paths;
    QString rx() const { return dir.filePath("rx"); }

    void SetUp() override
    {
        QDir(dir.path()).mkpath("prog");
        QDir(dir.path()).mkpath("rx");
        QDir(dir.path()).mkpath("cwd");
        // Spaces around the folder are trimmed by routing.
        ASSERT_TRUE(store.WriteStoreLine("receive.dat", "  " + rx() + "  ").ok());
        paths = {dir.filePath("cwd/mail.dat"), dir.filePath("prog/temp"), dir.filePath("prog/PMBA-Binary-Received")};
        ASSERT_TRUE(writeAll(paths.mailDat, "stale"));
        ASSERT_TRUE(writeAll(paths.attachmentHandOver, "stale"));
    }
};

TEST_P(Routing, SendsEachKindToItsScreenAndDeletesOnlyAfterTheHandOver)
{
    const RouteCase& c = GetParam();
    const QString incoming = rx() + u'/' + c.fileName;
    ASSERT_TRUE(writeAll(incoming, c.content));

    const R::Route r = R::RouteIncoming(store, c.fileName, paths);
    EXPECT_EQ(r.outcome, c.outcome);
    EXPECT_EQ(r.deleteIncoming, c.deleteIncoming);
    EXPECT_EQ(r.plainText, c.plainText);
    EXPECT_EQ(r.incomingPath, incoming);
    QStringList texts;
    for (const MessageBoxRequest& m : r.messages) {
        texts << m.text;
    }
    ASSERT_EQ(texts.size(), c.messages.size());
    for (qsizetype i = 0; i < texts.size(); ++i) {
        EXPECT_TRUE(texts[i].startsWith(c.messages[i])) << texts[i].toStdString();
    }
    // A file mail stays until its carried file is written, on the next screen.
    if (!c.deleteIncoming && c.outcome != Outcome::Pmba && c.outcome != Outcome::SevenPlusSet &&
        c.outcome != Outcome::FileMail) {
        // Whatever stays is named, so the operator can find it.
        ASSERT_FALSE(texts.isEmpty());
        EXPECT_TRUE(texts.last().contains(incoming)) << texts.last().toStdString();
    }
    EXPECT_EQ(readAll(incoming), c.content) << "routing itself never deletes";

    const QByteArray mailDat = readAll(paths.mailDat);
    const QByteArray handOver = readAll(paths.attachmentHandOver);
    switch (c.outcome) {
    case Outcome::Mail:
        EXPECT_EQ(mailDat, c.content + "\r\n");
        EXPECT_EQ(handOver, "<absent>");
        break;
    case Outcome::FileMail:
        EXPECT_EQ(mailDat, "<absent>");
        EXPECT_EQ(handOver, c.content);
        break;
    case Outcome::Pmba:
        EXPECT_EQ(readAll(r.pmba.attachmentPath), "abc");
        [[fallthrough]];
    case Outcome::PmbaFailed:
    case Outcome::SevenPlusSet:
    case Outcome::SevenPlusIncomplete:
    case Outcome::SevenPlusDamaged:
        EXPECT_EQ(mailDat, "stale") << "a PMBA mail or a 7PLUS part leaves the text hand-overs alone";
        EXPECT_EQ(handOver, "stale");
        break;
    case Outcome::ReceiveError:
        break;
    default:
        EXPECT_EQ(mailDat, "<absent>");
        EXPECT_EQ(handOver, "<absent>");
    }
}

const QByteArray kCodedLine = "84 79,83,72 73,66\r\n";

INSTANTIATE_TEST_SUITE_P(
    Incoming, Routing,
    ::testing::Values(
        RouteCase{"MailByName", "MAIL - 143507.txt", kCodedLine, Outcome::Mail, true, {}},
        // Two mails posted in one second share a file and stay coded.
        RouteCase{"TwoCodedLines", "MAIL - 1.txt", kCodedLine + kCodedLine, Outcome::Mail, true, {}},
        // Mail in clear from other software goes whole to the inbox.
        RouteCase{"PlainByContent", "incoming.txt", "see the Mail here", Outcome::Mail, true, {}, true},
        RouteCase{"PlainWithNumbers", "MAIL - 2.txt", "Hello John, 73, Bob\r\n", Outcome::Mail, true, {}, true},
        RouteCase{"PlainWithFourParts", "MAIL - 3.txt", "a,b,c,d", Outcome::Mail, true, {}, true},
        RouteCase{"BothWordsInContentIsMail", "x.txt", "file and mail", Outcome::Mail, true, {}, true},
        RouteCase{"BothWordsInNameIsMail", "mailfile.txt", "?", Outcome::Mail, true, {}, true},
        // Codes without the four fields, or codes outside the code page, stay.
        RouteCase{"CodedTooFewFields",
                  "MAIL - 4.txt",
                  "84 79,83\r\n",
                  Outcome::Unreadable,
                  false,
                  {"This mail cannot be read:\n"}},
        RouteCase{"CodeOutOfRange",
                  "MAIL - 5.txt",
                  "84,83 999,72,66\r\n",
                  Outcome::Unreadable,
                  false,
                  {"This mail cannot be read:\n"}},
        RouteCase{
            "FileMailByName", "File - 14-35-07--12-05-26.txt", fileMailContainingMail(), Outcome::FileMail, false, {}},
        RouteCase{"FileMailByContent", "x.txt", fileMailContainingFile(), Outcome::FileMail, false, {}},
        // Cut short on the way: "90" cut to "9" would read as a TAB.
        RouteCase{"CodedMailCutInItsLastField",
                  "MAIL - 6.txt",
                  "84 79,83,72 73,9",
                  Outcome::Unreadable,
                  false,
                  {"This mail cannot be read:\n"}},
        RouteCase{"FileMailNotBase64",
                  "File - 1.txt",
                  "a file in clear",
                  Outcome::Unreadable,
                  false,
                  {"This file mail cannot be read:\n"}},
        RouteCase{"FileMailTooFewFields",
                  "File - 2.txt",
                  QByteArray("m,s,t,f").toBase64(),
                  Outcome::Unreadable,
                  false,
                  {"This file mail cannot be read:\n"}},
        RouteCase{"FileMailBadData",
                  "File - 3.txt",
                  QByteArray("m,s,t,f,x.bin,*not base64*").toBase64(),
                  Outcome::Unreadable,
                  false,
                  {"This file mail cannot be read:\n"}},
        RouteCase{"PmbaByContentNotName", "anything.bin", pmbaMail("a.bin"), Outcome::Pmba, false, {}},
        RouteCase{
            "BrokenPmbaStays",
            "p.pmb",
            pmbaMail("../a.bin"),
            Outcome::PmbaFailed,
            false,
            {"PMBA: Invalid attachment filename.", "PMBA decoding failed.\nThe original incoming file was preserved."}},
        RouteCase{"SevenBytePmbaLikeIsText",
                  "x.bin",
                  QByteArray("\x04\0\0\0PMB", 7),
                  Outcome::Unrecognized,
                  false,
                  {"Unrecognized file type."}},
        RouteCase{"EmptyFile", "MAIL - 1.txt", {}, Outcome::ReceiveError, false, {"Error 3: The file is empty: "}},
        RouteCase{"Unrecognised", "notes.txt", "hello", Outcome::Unrecognized, false, {"Unrecognized file type."}},
        // 7PLUS parts are known by their header, never by the words in their name.
        RouteCase{"SevenPlusWholeSet", "MAIL.P01", sevenPlusPart(100, 1), Outcome::SevenPlusSet, false, {}},
        RouteCase{"SevenPlusPartOfTwo",
                  "file.p02",
                  sevenPlusPart(40000, 2),
                  Outcome::SevenPlusIncomplete,
                  false,
                  {"DATA.BIN is a 7PLUS file of 2 parts; 1 of them are in the receive folder.\n\nWaiting for part 1."}},
        RouteCase{"SevenPlusDamagedHeader",
                  "mail.p03",
                  sevenPlusPart(100, 1).replace(" go_7+. 001", " go_7+. 002"),
                  Outcome::SevenPlusDamaged,
                  false,
                  {"mail.p03 looks like a 7PLUS part, but its header fails its check."}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Routing, NoSelectionAndMissingFileReadNothing)
{
    R::Route r = R::RouteIncoming(store, {}, paths);
    EXPECT_EQ(r.outcome, Outcome::NoSelection);
    r = R::RouteIncoming(store, "gone.txt", paths);
    EXPECT_EQ(r.outcome, Outcome::NotFound);
    ASSERT_EQ(r.messages.size(), 1);
    EXPECT_EQ(r.messages[0].text, "File not found:\n" + rx() + "/gone.txt");
    ASSERT_TRUE(writeAll(dir.filePath("MAIL outside.txt"), "mail"));
    EXPECT_EQ(R::RouteIncoming(store, "../MAIL outside.txt", paths).outcome, Outcome::NotFound);
    EXPECT_EQ(readAll(paths.mailDat), "stale");

    // An empty receive folder entry never routes a name from the root folder.
    ASSERT_TRUE(store.WriteStoreLine("receive.dat", QString(" ")).ok());
    r = R::RouteIncoming(store, "tmp", paths);
    EXPECT_EQ(r.outcome, Outcome::ReceiveError);
    EXPECT_FALSE(r.deleteIncoming);
}

TEST_F(Routing, LinksFifosAndAShownInboxReadNothingAndHandOversAreTheOwnersOnly)
{
    ASSERT_TRUE(writeAll(dir.filePath("secret"), kCodedLine));
    ASSERT_TRUE(QFile::link(dir.filePath("secret"), rx() + "/MAIL-x.txt"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(rx() + "/MAIL-fifo.txt").constData(), 0600), 0);
    ASSERT_TRUE(writeAll(rx() + "/MAIL - 1.txt", kCodedLine));
    // The inbox on screen keeps its mail; the new one waits in the folder.
    paths.inboxShown = true;
    const std::pair<const char*, Outcome> refused[] = {{"MAIL-x.txt", Outcome::NotRegular},
                                                       {"MAIL-fifo.txt", Outcome::NotRegular},
                                                       {"MAIL - 1.txt", Outcome::InboxBusy}};
    for (const auto& [name, outcome] : refused) {
        const R::Route r = R::RouteIncoming(store, name, paths);
        EXPECT_EQ(r.outcome, outcome) << name;
        EXPECT_FALSE(r.deleteIncoming);
        EXPECT_EQ(readAll(paths.mailDat), "stale");
    }
    paths.inboxShown = false;
    ASSERT_EQ(R::RouteIncoming(store, "MAIL - 1.txt", paths).outcome, Outcome::Mail);
    EXPECT_EQ(QFileInfo(paths.mailDat).permissions(),
              QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
}

TEST_F(Routing, UnwritableHandOverIsAReceiveErrorAndKeepsTheFile)
{
    QFile::remove(paths.mailDat);
    QDir().mkpath(paths.mailDat); // a folder where mail.dat should go
    ASSERT_TRUE(writeAll(rx() + "/MAIL - 1.txt", kCodedLine));
    const R::Route r = R::RouteIncoming(store, "MAIL - 1.txt", paths);
    EXPECT_EQ(r.outcome, Outcome::ReceiveError);
    EXPECT_FALSE(r.deleteIncoming);
    ASSERT_EQ(r.messages.size(), 1);
    EXPECT_EQ(r.messages[0].title, "Receive Error");
}

TEST(KillFile, DeletesOrLetsTheOperatorGiveUp)
{
    QTemporaryDir dir;
    FakeDialogs dialogs;
    const QString path = dir.filePath("MAIL - 1.txt");
    ASSERT_TRUE(writeAll(path, "x"));
    EXPECT_TRUE(R::KillFile(dialogs, path));
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_TRUE(dialogs.boxes.isEmpty());
    EXPECT_TRUE(R::KillFile(dialogs, path)) << "nothing left to delete";
}

} // namespace
