#include "terminal/ReceiveStore.h"
#include "terminal/SendQueue.h"
#include "terminal/Yapp.h"

#include "mail/MailCodec.h"
#include "platform/AnsiCodec.h"
#include "platform/Clock.h"
#include "pmba/FileMail.h"
#include "pmba/ModPMBA.h"
#include "pmba/PmbaTestUtil.h"

#include <QDir>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace tolvan;
using namespace tolvan::test;

namespace {

// One direction of the link: holds what was written until the test delivers it.
struct Pipe : ByteSink {
    QByteArray pending;
    void write(const QByteArray& bytes) override { pending += bytes; }
    bool canAcceptMore() const override { return pending.size() < 1500; }
};

QByteArray content(qint64 size, quint32 seed)
{
    QRandomGenerator random(seed);
    QByteArray bytes(size, Qt::Uninitialized);
    for (char& c : bytes) {
        c = char(random.generate());
    }
    return bytes;
}

struct Scenario {
    const char* name;
    QList<qint64> sizes;
    int split = 1000;           // bytes delivered at a time
    bool checksum = true;       // both sides offer the checksum extension
    qint64 corruptAt = -1;      // flips a byte of the stream to the receiver at this offset
    qint64 breakAt = -1;        // the link breaks when the receiver has had this many bytes
    qint64 senderCancelAt = -1; // the sending operator cancels here
    qint64 receiverCancelAt = -1;
    bool changeFirst = false;   // the first file is rewritten while on the air
    // After the first session: files acknowledged, and after the second (run
    // when the first failed), whether one of them resumed.
    int doneFirst = 0;
    bool resumes = false;
};

struct Station {
    QTemporaryDir dir;
    QString send = dir.path() + "/send";
    QString receive = dir.path() + "/receive";
    Station()
    {
        QDir().mkpath(send);
        QDir().mkpath(receive);
    }
};

struct Outcome {
    int done = 0;
    bool finished = false;
    bool failed = false;
    qint64 resumedFrom = 0;
};

// One YAPP session from the queue's files to the store, moving each file
// acknowledged into Transmitted.
Outcome runSession(Station& s, const Scenario& sc)
{
    SendQueue queue(s.send);
    const QList<Destination> waiting = queue.scan("N0BBB");
    Outcome out;
    if (waiting.isEmpty()) {
        return out;
    }
    Pipe toReceiver;
    Pipe toSender;
    Yapp::Options options;
    options.checksum = sc.checksum;
    options.replyTimeoutMs = 0;
    YappSender sender(toReceiver, waiting.first().files, options);
    ReceiveStore store(s.receive);
    YappReceiver receiver(toSender, store, "N0AAA", options);
    sender.fileStarted = [&](const OutgoingFile& f, qint64 from) {
        out.resumedFrom = qMax(out.resumedFrom, from);
        if (sc.changeFirst && f.name == "f0") {
            writeAll(f.path, content(f.stamp.size + 1, 99));
        }
    };
    sender.fileDone = [&](const OutgoingFile& f, qint64 bytes) {
        ++out.done;
        EXPECT_TRUE(queue.markSent(f, bytes, 1.0).ok());
    };
    sender.finished = [&] { out.finished = true; };
    sender.failed = [&](const QString&) { out.failed = true; };
    receiver.failed = [&](const QString&) { out.failed = true; };
    sender.start();
    qint64 delivered = 0;
    for (int guard = 0; guard < 100000 && !(sender.isDone() && receiver.isDone()); ++guard) {
        QByteArray chunk = toReceiver.pending.left(sc.split);
        toReceiver.pending.remove(0, chunk.size());
        if (sc.breakAt >= 0 && delivered + chunk.size() >= sc.breakAt) {
            receiver.receive(chunk.left(sc.breakAt - delivered));
            sender.linkBroken();
            receiver.linkBroken();
            break;
        }
        if (sc.corruptAt >= delivered && sc.corruptAt < delivered + chunk.size()) {
            chunk[sc.corruptAt - delivered] = char(chunk[sc.corruptAt - delivered] ^ 0x40);
        }
        delivered += chunk.size();
        receiver.receive(chunk);
        if (sc.senderCancelAt >= 0 && delivered >= sc.senderCancelAt && !sender.isDone()) {
            sender.cancel("Operator");
        }
        if (sc.receiverCancelAt >= 0 && delivered >= sc.receiverCancelAt && !receiver.isDone()) {
            receiver.cancel("Operator");
        }
        const QByteArray back = toSender.pending.left(sc.split);
        toSender.pending.remove(0, back.size());
        sender.receive(back);
        sender.linkReady();
        if (chunk.isEmpty() && back.isEmpty() && toReceiver.pending.isEmpty()) {
            break; // nothing moves any more
        }
    }
    return out;
}

QStringList visible(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files, QDir::Name);
}

class YappScenario : public ::testing::TestWithParam<Scenario> {};

} // namespace

TEST_P(YappScenario, EveryFileArrivesWholeOnceAndNothingHalfIsVisible)
{
    const Scenario& sc = GetParam();
    Station s;
    QMap<QString, QByteArray> sent;
    for (int i = 0; i < sc.sizes.size(); ++i) {
        const QString name = QStringLiteral("f%1").arg(i);
        sent[name] = content(sc.sizes[i], quint32(i + 1));
        ASSERT_TRUE(writeAll(s.send + '/' + name, sent[name]));
    }
    const Outcome first = runSession(s, sc);
    EXPECT_EQ(first.done, sc.doneFirst);
    if (sc.changeFirst) {
        // Sent, but changed meanwhile: still waiting, to go again whole.
        EXPECT_EQ(visible(s.send), QStringList("f0"));
        return;
    }
    // Visible in the receive folder: only whole files, each the sender's bytes.
    for (const QString& name : visible(s.receive)) {
        EXPECT_EQ(readAll(s.receive + '/' + name), sent.value(name)) << name.toStdString();
    }
    if (first.failed) {
        Scenario again = sc;
        again.corruptAt = again.breakAt = again.senderCancelAt = again.receiverCancelAt = -1;
        const Outcome second = runSession(s, again);
        EXPECT_TRUE(second.finished);
        EXPECT_EQ(second.resumedFrom > 0, sc.resumes);
    } else {
        EXPECT_TRUE(first.finished);
    }
    EXPECT_EQ(visible(s.receive), QStringList(sent.keys()));
    for (const QString& name : sent.keys()) {
        EXPECT_EQ(readAll(s.receive + '/' + name), sent[name]) << name.toStdString();
    }
    EXPECT_EQ(visible(s.send), QStringList());
    EXPECT_EQ(visible(s.send + "/Transmitted"), QStringList(sent.keys()) << "journal.txt");
    EXPECT_EQ(readAll(s.send + "/Transmitted/journal.txt").count("\r\n"), sent.size());
    EXPECT_EQ(entries(s.receive).filter(".part").size(), 0) << "no partial file stays";
}

// Stream offsets: SI 2 bytes, a header of about 20, then blocks of 256 with checksums.
INSTANTIATE_TEST_SUITE_P(
    Pipe, YappScenario,
    ::testing::Values(
        Scenario{"batch_in_one_piece", {1000, 0, 256, 253 * 4}, 100000, true, -1, -1, -1, -1, false, 4},
        Scenario{"cut_into_single_bytes", {700, 3}, 1, true, -1, -1, -1, -1, false, 2},
        Scenario{"without_checksums", {5000}, 77, false, -1, -1, -1, -1, false, 1},
        Scenario{"blocks_of_256_without_checksums", {256 * 3 + 1}, 300, false, -1, -1, -1, -1, false, 1},
        Scenario{"corrupt_block_is_caught_and_resumed", {3000}, 100, true, 900, -1, -1, -1, false, 0, true},
        Scenario{"broken_mid_file_resumes", {20000}, 250, true, -1, 9000, -1, -1, false, 0, true},
        Scenario{"broken_in_second_file", {1000, 4000}, 250, true, -1, 3000, -1, -1, false, 1, true},
        // 2 (SI) + 19 (header) + 1012 (four blocks) + 2 (EF): the file is in
        // place and AF on its way when the link breaks; offered again, it is
        // recognised and not written twice.
        Scenario{"broken_before_the_last_ack", {1000}, 250, true, -1, 1035, -1, -1, false, 0, true},
        Scenario{"broken_before_any_data", {1000}, 10, true, -1, 10, -1, -1, false, 0, false},
        Scenario{"sender_cancels", {8000}, 500, true, -1, -1, 3000, -1, false, 0, true},
        Scenario{"receiver_cancels_and_drops_the_part", {8000}, 500, true, -1, -1, -1, 3000, false, 0, false},
        Scenario{"changed_while_sent", {2000}, 500, true, -1, -1, -1, -1, true, 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(YappBytes, HeaderAndAnswersAreTheClassicAndExtendedForms)
{
    Station s;
    writeAll(s.send + "/A.TXT", "hello");
    Pipe toReceiver;
    Pipe toSender;
    YappSender sender(toReceiver, SendQueue(s.send).scan("N0BBB").first().files);
    sender.start();
    EXPECT_EQ(toReceiver.pending, QByteArray("\x05\x01", 2));
    toReceiver.pending.clear();
    sender.receive(QByteArray("\x06\x01", 2));
    // SOH len "A.TXT" NUL "5" NUL date(8 hex) NUL
    ASSERT_EQ(toReceiver.pending.size(), 2 + 6 + 2 + 9);
    EXPECT_TRUE(toReceiver.pending.startsWith(QByteArray("\x01\x11" "A.TXT\0" "5\0", 10)));
    toReceiver.pending.clear();
    sender.receive(QByteArray("\x15\x04R\0" "2\0", 6)); // resume at 2, no checksums
    EXPECT_EQ(toReceiver.pending, QByteArray("\x02\x03llo\x03\x01", 7));

    ReceiveStore store(s.receive);
    YappReceiver receiver(toSender, store, "N0AAA");
    receiver.receive("*** CONNECTED to N0AAA\r");
    receiver.receive(QByteArray("\x05\x01\x01\x06" "B\0" "1\0" "x\0", 10));
    EXPECT_EQ(toSender.pending, QByteArray("\x06\x01\x06\x06", 4)); // RR, then RT for a dated header
}

TEST(YappDate, DosDateAndTimeInHex)
{
    const QDateTime t(QDate(2026, 12, 5), QTime(14, 35, 8));
    EXPECT_EQ(Yapp::DateField(t), "5D857464");
    EXPECT_EQ(Yapp::ParseDateField("5D857464"), t);
    EXPECT_FALSE(Yapp::ParseDateField("5D85").isValid());
}

namespace {

struct NameCase {
    const char* name;
    QString file;
    qint64 size;
    bool taken;        // a file of that name is already in the folder
    QString expected;  // the final name, or empty when refused
};

class ReceiveNames : public ::testing::TestWithParam<NameCase> {};

} // namespace

TEST_P(ReceiveNames, GoThroughTheReceivedNameRuleAndNeverOverwrite)
{
    const NameCase& c = GetParam();
    Station s;
    if (c.taken) {
        writeAll(s.receive + '/' + c.file, "older");
    }
    ReceiveStore store(s.receive, nullptr, 1000);
    const Result<qint64> begun = store.begin("N0AAA-1", c.file, c.size);
    ASSERT_EQ(begun.ok(), !c.expected.isEmpty()) << begun.error().toStdString();
    if (!begun.ok()) {
        EXPECT_EQ(entries(s.receive).size(), c.taken ? 1 : 0);
        return;
    }
    ASSERT_TRUE(store.write(QByteArray(c.size, 'x')).ok());
    const Result<QString> path = store.finish();
    ASSERT_TRUE(path.ok()) << path.error().toStdString();
    EXPECT_EQ(path.value(), s.receive + '/' + c.expected);
    if (c.taken) {
        EXPECT_EQ(readAll(s.receive + '/' + c.file), "older");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Store, ReceiveNames,
    ::testing::Values(NameCase{"plain", "MAIL - X.txt", 10, false, "MAIL - X.txt"},
                      NameCase{"taken_gets_a_number", "MAIL - X.txt", 10, true, "MAIL - X (1).txt"},
                      NameCase{"taken_without_extension", "NOTES", 1, true, "NOTES (1)"},
                      NameCase{"empty_file", "E.BIN", 0, false, "E.BIN"},
                      NameCase{"largest_accepted", "BIG.BIN", 1000, false, "BIG.BIN"},
                      NameCase{"too_large", "BIG.BIN", 1001, false, ""},
                      NameCase{"folder_part", "../x.txt", 1, false, ""},
                      NameCase{"backslash", "C:\\x.txt", 1, false, ""},
                      NameCase{"dot_dot", "..", 1, false, ""},
                      NameCase{"hidden", ".profile", 1, false, ""},
                      NameCase{"control_character", QStringLiteral("a\x07.txt"), 1, false, ""},
                      NameCase{"program_file", "mail.dat", 1, false, ""}),
    [](const auto& info) { return std::string(info.param.name); });

namespace {
struct FixedClock : Clock {
    QDateTime at;
    QDateTime now() const override { return at; }
};
} // namespace

TEST(ReceiveStoreResume, SameStationSameFileWithinADayOnly)
{
    Station s;
    FixedClock clock;
    clock.at = QDateTime::currentDateTime();
    ReceiveStore store(s.receive, &clock);
    ASSERT_TRUE(store.begin("N0AAA", "F", 10, true, "D1").ok());
    ASSERT_TRUE(store.write("12345").ok());
    store.keepForResume();
    EXPECT_EQ(entries(s.receive),
              QStringList({".tolvan-yapp-N0AAA-F.part", ".tolvan-yapp-N0AAA-F.part.info"}));
    EXPECT_EQ(store.begin("N0AAA", "F", 10, true, "D2").value(), 0) << "another date: starts over";
    ASSERT_TRUE(store.write("12345").ok());
    store.keepForResume();
    EXPECT_EQ(store.begin("N0CCC", "F", 10, true, "D2").value(), 0) << "another station";
    store.discard();
    EXPECT_EQ(store.begin("N0AAA", "F", 11, true, "D2").value(), 0) << "another size";
    ASSERT_TRUE(store.write("12345").ok());
    store.keepForResume();
    EXPECT_EQ(store.begin("N0AAA", "F", 11, true, "D2").value(), 5);
    store.keepForResume();
    clock.at = clock.at.addSecs(ReceiveStore::kKeepPartialSeconds + 60);
    store.expire();
    EXPECT_EQ(entries(s.receive), QStringList());
}

namespace {

enum class Kind { Coded, Pmba, FileMailSmall, FileMailLarge, Plain };

struct DestinationCase {
    const char* name;
    Kind kind;
    QString to;
    QString fallback;
    QString expected; // empty: left out as undeliverable
};

class Destinations : public ::testing::TestWithParam<DestinationCase> {};

} // namespace

TEST_P(Destinations, ComeFromTheToFieldOfEachKindOfFile)
{
    const DestinationCase& c = GetParam();
    Station s;
    const QString path = s.send + "/MAIL - 1.txt";
    const QByteArray carried = content(c.kind == Kind::FileMailLarge ? 100000 : 100, 7);
    switch (c.kind) {
    case Kind::Coded:
        writeAll(path, Ansi::encode(MailCodec::FormatCodedMailLine(c.to, "S", "HI", "N0AAA") + "\r\n"));
        break;
    case Kind::Pmba:
        writeAll(s.dir.path() + "/a.bin", carried);
        ASSERT_TRUE(ModPMBA::PMBA_CreateBinaryMail(s.dir.path() + "/a.bin", path, c.to, "N0AAA", "S", "M").ok());
        break;
    case Kind::FileMailSmall:
    case Kind::FileMailLarge:
        writeAll(path, FileMail::Build({"Hello", "S", c.to, "N0AAA", "a.bin", carried}));
        break;
    case Kind::Plain:
        writeAll(path, Ansi::encode(c.to + ", hello, 73\r\n"));
        break;
    }
    writeAll(s.send + "/.hidden", "x");
    QStringList undeliverable;
    const QList<Destination> found = SendQueue(s.send).scan(c.fallback, &undeliverable);
    if (c.expected.isEmpty()) {
        EXPECT_TRUE(found.isEmpty());
        EXPECT_EQ(undeliverable, QStringList("MAIL - 1.txt"));
        return;
    }
    ASSERT_EQ(found.size(), 1);
    EXPECT_EQ(found.first().call, c.expected);
    EXPECT_EQ(found.first().files.size(), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Queue, Destinations,
    ::testing::Values(DestinationCase{"coded_with_prompt", Kind::Coded, "To: n0bbb-1", "N0ZZZ", "N0BBB-1"},
                      DestinationCase{"coded_dash_prompt", Kind::Coded, "TO-N0BBB", "", "N0BBB"},
                      DestinationCase{"coded_no_call", Kind::Coded, "To: John", "n0zzz", "N0ZZZ"},
                      DestinationCase{"coded_bad_ssid", Kind::Coded, "N0BBB-16", "N0ZZZ", "N0ZZZ"},
                      DestinationCase{"pmba", Kind::Pmba, "To- N0CCC-2", "N0ZZZ", "N0CCC-2"},
                      DestinationCase{"pmba_no_call", Kind::Pmba, "", "N0ZZZ", "N0ZZZ"},
                      DestinationCase{"file_mail", Kind::FileMailSmall, "TO N0DDD", "N0ZZZ", "N0DDD"},
                      DestinationCase{"large_file_mail", Kind::FileMailLarge, "N0EEE-15", "N0ZZZ", "N0EEE-15"},
                      DestinationCase{"plain_text", Kind::Plain, "N0FFF", "N0ZZZ", "N0ZZZ"},
                      DestinationCase{"nowhere", Kind::Coded, "To: John", "", ""},
                      DestinationCase{"call_starting_with_to", Kind::Coded, "TO1ABC", "N0ZZZ", "TO1ABC"}),
    [](const auto& info) { return std::string(info.param.name); });

// A sub-folder named by a call sign addresses everything in it, whatever it
// holds; other folders, hidden files and Transmitted are left alone.
TEST(SendQueueFolders, CallSignSubFolderAddressesItsFiles)
{
    Station s;
    for (const char* dir : {"N0GGG-3/deeper", "Transmitted", "drafts"}) {
        QDir().mkpath(s.send + "/" + QString(dir));
    }
    writeAll(s.send + "/N0GGG-3/PHOTO.P01", content(300, 1));
    writeAll(s.send + "/N0GGG-3/.PHOTO.P02.part", "x");
    writeAll(s.send + "/drafts/a.txt", "x");
    writeAll(s.send + "/Transmitted/b.txt", "x");
    writeAll(s.send + "/MAIL - 2.txt",
             Ansi::encode(MailCodec::FormatCodedMailLine("N0GGG-3", "S", "HI", "N0AAA") + "\r\n"));
    const SendQueue queue(s.send);
    const QList<Destination> found = queue.scan("N0ZZZ");
    ASSERT_EQ(found.size(), 1);
    EXPECT_EQ(found[0].call, "N0GGG-3");
    ASSERT_EQ(found[0].files.size(), 2);
    EXPECT_EQ(found[0].files[1].name, "PHOTO.P01");
    ASSERT_TRUE(queue.markSent(found[0].files[1], 300, 1.0).ok());
    EXPECT_TRUE(QFile::exists(s.send + "/Transmitted/PHOTO.P01"));
    EXPECT_EQ(queue.addressFolders(), QStringList(QDir(s.send).absoluteFilePath("N0GGG-3")));
}

TEST(YappTimeout, SilenceCancelsAndKeepsThePartForResume)
{
    Station s;
    writeAll(s.send + "/A", "abc");
    Pipe toReceiver;
    Pipe toSender;
    QString senderFailure;
    YappSender sender(toReceiver, SendQueue(s.send).scan("N0BBB").first().files);
    sender.failed = [&](const QString& why) { senderFailure = why; };
    sender.start();
    sender.timeout();
    EXPECT_EQ(toReceiver.pending, QByteArray("\x05\x01\x18\x07Timeout", 11));
    EXPECT_FALSE(senderFailure.isEmpty());

    ReceiveStore store(s.receive);
    YappReceiver receiver(toSender, store, "N0AAA");
    receiver.receive(QByteArray("\x05\x01\x01\x06" "B\0" "9\0" "x\0" "\x02\x02" "ab", 14) + char('a' + 'b'));
    receiver.timeout();
    EXPECT_TRUE(toSender.pending.endsWith(QByteArray("\x18\x07Timeout")));
    EXPECT_EQ(readAll(store.partialPath("N0AAA", "B")), "ab");
}

TEST(YappBytes, GarbageFromThePeerNeverLeavesAVisibleFile)
{
    Station s;
    writeAll(s.send + "/A", content(3000, 5));
    for (quint32 seed = 1; seed <= 200; ++seed) {
        Pipe toReceiver;
        Pipe toSender;
        const QByteArray noise = content(600, seed);
        ReceiveStore store(s.receive);
        YappReceiver receiver(toSender, store, "N0AAA");
        // After a valid start and header, anything at all.
        receiver.receive(QByteArray("\x05\x01\x01\x08" "B\0" "500\0" "x\0", 12) + noise);
        YappSender sender(toReceiver, SendQueue(s.send).scan("N0BBB").first().files);
        sender.start();
        sender.receive(QByteArray("\x06\x01", 2) + noise);
        sender.linkReady();
    }
    EXPECT_EQ(visible(s.receive), QStringList());
}
