#include "FakeTnc.h"
#include "config/ConfigStore.h"
#include "mail/MailCodec.h"
#include "terminal/ChatText.h"
#include "terminal/TerminalEngine.h"
#include "terminal/TerminalStatus.h"
#include "terminal/TncLink.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using namespace tolvan;

namespace {

// Bytes that no compression or line rule can make easy: the same for a seed.
QByteArray randomBytes(qsizetype size, quint32 seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator(seed).fillRange(reinterpret_cast<quint32*>(bytes.data()), bytes.size() / 4);
    return bytes;
}

// One station: its folders, its TNC link and engine, and the events it told.
struct Station {
    QTemporaryDir dir;
    TncLink link;
    std::unique_ptr<TerminalEngine> engine;
    QList<QJsonObject> events;

    Station(const QByteArray& call, quint16 port, const QByteArray& to = {})
    {
        TerminalSettings s{call, "127.0.0.1", port, 0, {}, {}, to, dir.path() + "/send/", dir.path() + "/recv/"};
        QDir().mkpath(s.sendFolder);
        QDir().mkpath(s.receiveFolder);
        engine = std::make_unique<TerminalEngine>(s, link);
        engine->setTiming({{150, 300}, 100, 180000, {}, 50, 300, 300});
        link.setTiming({50, 200, 20});
        ConnectEngine(link, *engine);
        QObject::connect(engine.get(), &TerminalEngine::event, [this](const QJsonObject& e) { events << e; });
        engine->start();
        link.start("127.0.0.1", port, call, 0);
    }
    QList<QJsonObject> of(const QString& name) const
    {
        QList<QJsonObject> found;
        std::copy_if(events.begin(), events.end(), std::back_inserter(found),
                     [&](const QJsonObject& e) { return e["event"].toString() == name; });
        return found;
    }
    bool waitFor(const QString& name, int count = 1)
    {
        return QTest::qWaitFor([&] { return of(name).size() >= count; }, 15000);
    }
    QByteArray put(const QString& name, const QByteArray& bytes)
    {
        QFile f(dir.path() + "/send/" + name);
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
        return bytes;
    }
    QStringList texts(const QString& name, const QString& field) const
    {
        QStringList found;
        for (const QJsonObject& e : of(name)) {
            found << e[field].toString();
        }
        return found;
    }
    QByteArray read(const QString& path) const
    {
        QFile f(dir.path() + path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
};

QByteArray codedMail(const QString& to)
{
    return (MailCodec::FormatCodedMailLine(to, "SUBJECT", "Hello there", "N0AAA") + "\r\n").toLatin1();
}

} // namespace

// A coded mail (destination from its To field) and a plain file (destination
// from --to) go in one session, arrive byte for byte, are moved into
// Transmitted with a journal line each, and are never sent again.
TEST(TerminalSession, TwoStationsExchangeAMailAndAFileOnce)
{
    test::FakeTnc tnc;
    Station a("N0AAA-1", tnc.port(), "N0BBB-1");
    Station b("N0BBB-1", tnc.port());
    const QByteArray data = randomBytes(3000, 7);
    const QByteArray mail = a.put("MAIL - 120000.txt", codedMail("TO: n0bbb-1"));
    a.put("photo.bin", data);

    ASSERT_TRUE(b.waitFor("file-received", 2)) << b.events.size();
    ASSERT_TRUE(a.waitFor("disconnected"));
    EXPECT_EQ(b.read("/recv/MAIL - 120000.txt"), mail);
    EXPECT_EQ(b.read("/recv/photo.bin"), data);
    EXPECT_EQ(a.read("/send/Transmitted/photo.bin"), data);
    EXPECT_EQ(a.read("/send/Transmitted/journal.txt").count('\n'), 2);
    ASSERT_EQ(a.of("file-sent").size(), 2);
    EXPECT_EQ(a.of("file-sent")[0]["to"].toString(), "N0BBB-1");
    EXPECT_EQ(a.of("connected")[0]["direction"].toString(), "out");
    EXPECT_EQ(b.of("connected")[0]["direction"].toString(), "in");

    QTest::qWait(500); // several rescans
    EXPECT_EQ(tnc.calls.value("N0BBB-1"), 1);
    EXPECT_EQ(a.of("file-sent").size(), 2);
}

// A station that never answers is called again after each pause, every try
// told, then left alone until the operator asks again.
TEST(TerminalSession, UnansweredDestinationIsRetriedAfterGrowingPausesThenWaits)
{
    test::FakeTnc tnc;
    Station a("N0AAA-1", tnc.port(), "N0CCC");
    QElapsedTimer clock;
    clock.start();
    a.put("note.txt", "hello");
    ASSERT_TRUE(a.waitFor("error"));
    const qint64 took = clock.elapsed();
    const QList<QJsonObject> retries = a.of("retry");
    ASSERT_EQ(retries.size(), 2);
    EXPECT_EQ(retries[0]["attempt"].toInt(), 2);
    EXPECT_DOUBLE_EQ(retries[0]["wait_seconds"].toDouble(), 0.15);
    EXPECT_EQ(retries[1]["attempt"].toInt(), 3);
    EXPECT_DOUBLE_EQ(retries[1]["wait_seconds"].toDouble(), 0.3);
    EXPECT_GE(took, 450 + 3 * tnc.noAnswerMs);
    EXPECT_TRUE(a.of("error")[0]["message"].toString().contains("N0CCC did not answer after 3 tries"));
    QTest::qWait(400);
    EXPECT_EQ(tnc.calls.value("N0CCC"), 3);
    a.engine->retryNow();
    EXPECT_TRUE(QTest::qWaitFor([&] { return tnc.calls.value("N0CCC") == 4; }));
}

// The TNC goes away and comes back: the stations say so, register again, and
// then deliver to two destinations in one run, each over its own session.
TEST(TerminalSession, TncLostAndBackThenTwoDestinations)
{
    test::FakeTnc tnc;
    Station a("N0AAA-1", tnc.port());
    Station b("N0BBB-1", tnc.port());
    Station c("N0CCC-2", tnc.port());
    ASSERT_TRUE(a.waitFor("tnc-connected") && c.waitFor("tnc-connected"));
    // A call under way when the TNC goes is made again once it is back.
    tnc.silent = {"N0BBB-1"};
    tnc.noAnswerMs = 60000;
    a.put("MAIL - 1.txt", codedMail("TO-N0BBB-1"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return tnc.calls.value("N0BBB-1") == 1; }));
    tnc.stop();
    ASSERT_TRUE(a.waitFor("tnc-lost"));
    tnc.silent.clear();
    tnc.noAnswerMs = 100;
    tnc.restart();
    ASSERT_TRUE(a.waitFor("tnc-connected", 2) && b.waitFor("tnc-connected", 2) && c.waitFor("tnc-connected", 2));
    EXPECT_EQ(a.of("tnc-connected")[1]["port"].toInt(), tnc.port());

    a.put("MAIL - 2.txt", codedMail("N0CCC-2"));
    ASSERT_TRUE(b.waitFor("file-received") && c.waitFor("file-received"));
    ASSERT_TRUE(a.waitFor("file-sent", 2));
    EXPECT_EQ(b.of("file-received")[0]["name"].toString(), "MAIL - 1.txt");
    EXPECT_EQ(c.of("file-received")[0]["from"].toString(), "N0AAA-1");
    EXPECT_GE(tnc.calls.value("N0BBB-1"), 2);
    EXPECT_EQ(tnc.calls.value("N0CCC-2"), 1);
    EXPECT_TRUE(QDir(a.dir.path() + "/send").entryList(QDir::Files).isEmpty());
}

// A link that breaks in the middle of a file is a failed try: the next
// session resumes where the receiver stopped, and the file arrives once.
TEST(TerminalSession, BrokenLinkIsRetriedAndResumed)
{
    test::FakeTnc tnc;
    tnc.dropAfter = 6000;
    Station a("N0AAA-1", tnc.port(), "N0BBB-1");
    Station b("N0BBB-1", tnc.port());
    const QByteArray data = randomBytes(20000, 9);
    a.put("big.bin", data);
    ASSERT_TRUE(b.waitFor("file-received"));
    ASSERT_EQ(a.of("retry").size(), 1);
    EXPECT_EQ(a.of("disconnected")[0]["reason"].toString().left(24), "*** DISCONNECTED RETRYOU");
    EXPECT_GT(b.of("file-received")[0]["resumed_from"].toInteger(), 0);
    EXPECT_EQ(b.read("/recv/big.bin"), data);
    EXPECT_TRUE(a.waitFor("file-sent"));
    EXPECT_EQ(tnc.calls.value("N0BBB-1"), 2);
    EXPECT_EQ(tnc.mostUnasked, TncLink::kMaxOutstanding); // paced, yet the window is used
    EXPECT_EQ(QDir(b.dir.path() + "/recv").entryList(QDir::Files), QStringList{"big.bin"});
}

// The program itself: unusable settings end it with 1; headless it prints one
// JSON object per line and ends with 0 on SIGTERM.
TEST(TerminalSession, HeadlessProgramPrintsEventLinesAndStopsOnSigterm)
{
    test::FakeTnc tnc;
    Station b("N0BBB-1", tnc.port());
    QTemporaryDir st;
    QProcess p;
    p.start(TOLVAN_TERMINAL, {"--station", st.path(), "--headless"});
    ASSERT_TRUE(p.waitForFinished(10000));
    EXPECT_EQ(p.exitCode(), 1);
    EXPECT_TRUE(p.readAllStandardError().contains("terminalcall.dat"));

    ConfigStore store(st.path() + "/");
    ASSERT_TRUE(store.WriteStoreLine("send.dat", b.dir.path() + "/send").ok());
    ASSERT_TRUE(store.WriteStoreLine("receive.dat", b.dir.path() + "/recv").ok());
    p.start(TOLVAN_TERMINAL, {"--station", st.path(), "--headless", "--call", "N0AAA", "--tnc",
                              QString("127.0.0.1:%1").arg(tnc.port())});
    ASSERT_TRUE(QTest::qWaitFor([&] { return p.canReadLine(); }, 10000));
    const QJsonObject first = QJsonDocument::fromJson(p.readLine()).object();
    EXPECT_EQ(first["event"].toString(), "tnc-connected");
    EXPECT_EQ(first["port"].toInt(), tnc.port());
    // Its status file names the running program; it goes at a clean end.
    EXPECT_TRUE(QTest::qWaitFor([&] { return TerminalStatus::ReadLine(st.path()) == "nothing to send"; }, 10000));
    p.terminate();
    ASSERT_TRUE(p.waitForFinished(10000));
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 0);
    EXPECT_FALSE(QFile::exists(st.path() + "/" + TerminalStatus::FileName()));
    // A file left behind, or written by another program, is no running terminal.
    TerminalStatus mine;
    mine.feed(QJsonObject{{"event", "tnc-connected"}});
    ASSERT_TRUE(mine.write(st.path()).ok());
    EXPECT_EQ(TerminalStatus::ReadLine(st.path()), "not running");
}

// Two operators type at each other: lines go out with CR in Windows-1252;
// what comes back is cut into lines however it is split, read as UTF-8 or
// Windows-1252, and shown with every control sequence made harmless. Files
// for the station wait while the conversation is up.
TEST(TerminalSession, ConversationLinesBothWaysAndFilesWaitForIt)
{
    test::FakeTnc tnc;
    Station a("N0AAA-1", tnc.port());
    Station b("N0BBB-1", tnc.port());
    ASSERT_TRUE(a.waitFor("tnc-connected") && b.waitFor("tnc-connected"));
    QTest::qWait(100);
    EXPECT_TRUE(a.engine->connectChat("NOCALL", {}).error().contains("NOCALL"));
    EXPECT_TRUE(a.engine->connectChat("N0AAA-1", {}).error().contains("own call"));
    ASSERT_TRUE(a.engine->connectChat("n0bbb-1", {}).ok());
    ASSERT_TRUE(a.waitFor("chat-connected"));
    EXPECT_TRUE(a.engine->connectChat("N0BBB-1", {}).error().contains("already"));
    a.put("MAIL - 1.txt", codedMail("N0BBB-1"));
    ASSERT_TRUE(a.engine->sendChatLine("N0BBB-1", "Hej \u00e5 \u20ac \u0434").ok());
    ASSERT_TRUE(b.waitFor("chat-line"));
    EXPECT_EQ(b.of("chat-connected")[0]["direction"].toString(), "in");
    EXPECT_EQ(b.texts("chat-line", "text"), QStringList{"Hej \u00e5 \u20ac ?"});
    EXPECT_EQ(tnc.dataBytes.value("N0AAA-1"), 10);

    for (const QByteArray& piece : {QByteArray("\xc3\xa9t\xc3"), QByteArray("\xa9 \x1b[2J\xe2\x80\xaeok\r"),
                                    QByteArray("\nfa\xe7"
                                               "ade\x9b"),
                                    QByteArray("1m\n")}) {
        b.link.send("N0AAA-1", piece);
        QTest::qWait(30);
    }
    ASSERT_TRUE(a.waitFor("chat-line", 3));
    EXPECT_EQ(a.texts("chat-line", "text"),
              (QStringList{"Hej \u00e5 \u20ac \u0434", "\u00e9t\u00e9 ^[[2Jok", "fa\u00e7ade\u203a1m"}));
    EXPECT_EQ(a.texts("chat-line", "direction"), (QStringList{"out", "in", "in"}));
    b.link.send("N0AAA-1", "N0BBB BBS>"); // a prompt waits for an answer, without CR
    ASSERT_TRUE(a.waitFor("chat-line", 4));
    EXPECT_EQ(a.of("chat-line")[3]["text"].toString(), "N0BBB BBS>");
    EXPECT_TRUE(a.of("chat-line")[3]["partial"].toBool());
    ASSERT_EQ(a.of("calling").size(), 1); // the conversation's call only
    EXPECT_TRUE(a.of("calling")[0]["chat"].toBool());
    EXPECT_EQ(tnc.calls.value("N0BBB-1"), 1);
    const QJsonArray queued = a.of("queue").last()["destinations"].toArray();
    ASSERT_EQ(queued.size(), 1);
    EXPECT_EQ(queued[0]["files"].toArray()[0].toString(), "MAIL - 1.txt");

    b.engine->disconnectChat("N0AAA-1");
    ASSERT_TRUE(a.waitFor("chat-disconnected") && b.waitFor("chat-disconnected"));
    ASSERT_TRUE(b.waitFor("file-received"));
    EXPECT_EQ(tnc.calls.value("N0BBB-1"), 2);
}

// A caller that says nothing is someone to talk with; one that greets and
// then starts YAPP (the ENQ split from its SOH) has its file taken, and the
// conversation goes on.
TEST(TerminalSession, SilentCallerIsAConversationAndFilesMayFollowAGreeting)
{
    struct ScriptedTnc : TncPort {
        QByteArray sent;
        bool isReady() const override { return true; }
        void connectTo(const QByteArray&, const QList<QByteArray>&) override {}
        void disconnectFrom(const QByteArray&) override { sent += "<DISC>"; }
        void send(const QByteArray&, const QByteArray& bytes) override { sent += bytes; }
        qint64 unacknowledged(const QByteArray&) const override { return 0; }
    } tnc;
    QTemporaryDir dir;
    QDir(dir.path()).mkdir("r");
    TerminalEngine engine({"N0AAA", "127.0.0.1", 8000, 0, {}, {}, {}, dir.path(), dir.path() + "/r"}, tnc);
    engine.setTiming({{150}, 100, 180000, {}, 50, 100, 300});
    QList<QJsonObject> events;
    QObject::connect(&engine, &TerminalEngine::event, [&](const QJsonObject& e) { events << e; });
    engine.start();
    engine.tncReady();
    engine.linkUp("N0BBB", true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return events.last()["event"] == "chat-connected"; }));
    engine.received("N0BBB", "Hello, a file follows\r\x05");
    engine.received("N0BBB", QByteArray("\x01\x01\x08" "A.TXT\0" "5\0", 11));
    EXPECT_EQ(tnc.sent, QByteArray("\x06\x01\x06\x02", 4)); // RR, RF
    engine.received("N0BBB", QByteArray("\x02\x05hello\x03\x01\x04\x01", 11));
    engine.received("N0BBB", "back to talk\r");
    QStringList told;
    for (const QJsonObject& e : std::as_const(events)) {
        if (e["event"] != "queue") {
            told << e["event"].toString() + " " + e["text"].toString() + e["name"].toString();
        }
    }
    EXPECT_EQ(told, (QStringList{"connected ", "chat-connected ", "chat-line Hello, a file follows",
                                 "file-started A.TXT", "file-received A.TXT", "chat-line back to talk"}));
    EXPECT_FALSE(tnc.sent.contains("<DISC>"));
    EXPECT_TRUE(QFile::exists(dir.path() + "/r/A.TXT"));
}

// The operator's stop ends a transfer under way without counting a failed
// try; nothing is called while stopped; Send now resumes where it stopped.
// Progress comes while the file goes, never for every block.
TEST(TerminalSession, StopInTheMiddleThenSendNowResumes)
{
    test::FakeTnc tnc;
    Station a("N0AAA-1", tnc.port(), "N0BBB-1");
    Station b("N0BBB-1", tnc.port());
    const QByteArray data = randomBytes(60000, 5);
    a.put("big.bin", data);
    ASSERT_TRUE(a.waitFor("progress"));
    a.engine->pause();
    EXPECT_TRUE(a.engine->isPaused());
    ASSERT_TRUE(a.waitFor("disconnected"));
    QTest::qWait(400);
    EXPECT_TRUE(a.of("retry").isEmpty());
    EXPECT_EQ(tnc.calls.value("N0BBB-1"), 1);
    EXPECT_TRUE(a.of("queue").last()["paused"].toBool());
    EXPECT_EQ(a.read("/send/big.bin"), data);

    a.engine->sendNow("N0BBB-1");
    ASSERT_TRUE(a.waitFor("resumed") && b.waitFor("file-received"));
    EXPECT_EQ(b.read("/recv/big.bin"), data);
    const QList<QJsonObject> started = a.of("file-started");
    ASSERT_EQ(started.size(), 2);
    EXPECT_EQ(started[0]["total"].toInteger(), data.size());
    EXPECT_GT(started[1]["resumed_from"].toInteger(), 0);
    const QList<QJsonObject> progress = a.of("progress");
    EXPECT_LT(progress.size(), data.size() / 253 / 2);
    EXPECT_GT(progress.last()["bytes_per_second"].toDouble(), 0);
    EXPECT_EQ(b.of("file-started")[1]["direction"].toString(), "in");
}

// The conversation's text, from the bytes of the air to what is shown.
TEST(ChatTextLines, SplitAnywhereDecodedAndNeutralised)
{
    const struct {
        QByteArray bytes;
        QStringList lines;
    } cases[] = {
        {"plain\r\nCR LF\rCR\nLF\r\r", {"plain", "CR LF", "CR", "LF", ""}},
        {"\xc3\xa5ngstr\xc3\xb6m\r", {"\u00e5ngstr\u00f6m"}},               // UTF-8
        {"\xe5ngstr\xf6m \x80 \x81\r", {"\u00e5ngstr\u00f6m \u20ac <81>"}}, // Windows-1252
        {QByteArrayLiteral("\x1b]0;title\x07\x1b[31mred\x7f\ttab\x00\r"), {"^[]0;title^G^[[31mred^?\ttab^@"}},
        {"\xc2\x9b"
         "2J \xe2\x80\xa8 a\xe2\x81\xa6"
         "b\xe2\x80\xad\r",
         {"<9B>2J <2028> ab"}},
    };
    for (const auto& c : cases) {
        for (qsizetype cut = 0; cut <= c.bytes.size(); ++cut) {
            ChatText text;
            QStringList got = text.feed(c.bytes.first(cut));
            got += text.feed(c.bytes.sliced(cut));
            EXPECT_EQ(got, c.lines) << c.bytes.toHex().constData() << " cut at " << cut;
        }
    }
    ChatText endless;
    EXPECT_EQ(endless.feed(QByteArray(ChatText::kMaxLine + 10, 'x')).size(), 1);
    EXPECT_EQ(endless.flush(), QString(10, 'x'));
}

// The one-line state the station program shows, from the engine's events.
TEST(TerminalStatusLine, EachStateInItsWords)
{
    const QString at1042 = QLocale().toString(QTime(10, 42), QLocale::ShortFormat);
    const QString up = R"({"event":"tnc-connected"})";
    const QString queue3 = R"({"event":"queue","paused":false,"destinations":[
        {"to":"N0CCC","files":["x"],"next_try":"2026-12-07T11:00:00","given_up":false},
        {"to":"N0BBB-1","files":["A.txt","B","C"],"next_try":"2026-12-07T10:42:00","given_up":false},
        {"to":"N0DDD","files":["y"],"next_try":"","given_up":true}]})";
    const QString sending = R"({"event":"file-started","direction":"out","peer":"N0BBB-1","name":"PHOTO.P01",
        "total":5000,"resumed_from":0})";
    const struct {
        QStringList events;
        QString state;
        QString line;
    } cases[] = {
        {{}, "no-tnc", "connecting to the TNC at 127.0.0.1:8000"},
        {{R"({"event":"error","tnc":"unreachable","host":"127.0.0.1","port":8000,"reason":"Connection refused"})"},
         "no-tnc",
         "TNC not reachable at 127.0.0.1:8000 (connection refused)"},
        {{up}, "idle", "nothing to send"},
        {{up, queue3}, "waiting", "3 files waiting for N0BBB-1, next try " + at1042},
        {{up, R"({"event":"queue","paused":false,"destinations":[{"to":"N0DDD","files":["y"],"given_up":true}]})"},
         "waiting",
         "1 file waiting for N0DDD, no more tries until Send now"},
        {{up, queue3, R"({"event":"calling","peer":"N0BBB-1"})"}, "connecting", "calling N0BBB-1"},
        {{up, sending, R"({"event":"progress","direction":"out","peer":"N0BBB-1","name":"PHOTO.P01","done":2150,
            "total":5000})"},
         "sending",
         "sending PHOTO.P01 to N0BBB-1, 43 %"},
        {{up, R"({"event":"file-started","direction":"in","peer":"N0AAA","name":"PHOTO.P01","total":5000,
            "resumed_from":600})"},
         "receiving",
         "receiving PHOTO.P01 from N0AAA, 12 %"},
        {{up, sending, R"({"event":"file-sent","to":"N0BBB-1"})", R"({"event":"chat-connected","peer":"N0EEE"})"},
         "talking",
         "talking with N0EEE"},
        {{up, queue3, R"({"event":"paused"})"}, "paused", "stopped by the operator, 5 files waiting"},
        {{up, sending, R"({"event":"tnc-lost","host":"10.0.0.2","port":8001,"reason":"The remote host closed"})"},
         "no-tnc",
         "TNC not reachable at 10.0.0.2:8001 (the remote host closed)"},
    };
    for (const auto& c : cases) {
        TerminalStatus status("127.0.0.1", 8000);
        for (const QString& e : c.events) {
            status.feed(QJsonDocument::fromJson(e.toUtf8()).object());
        }
        EXPECT_EQ(status.state(), c.state) << c.line.toStdString();
        EXPECT_EQ(status.line(), c.line);
    }
}
