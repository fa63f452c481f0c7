#include "FakeTnc.h"
#include "config/ConfigStore.h"
#include "mail/MailCodec.h"
#include "terminal/TerminalEngine.h"
#include "terminal/TncLink.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using namespace tolvan;

namespace {

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
        engine->setTiming({{150, 300}, 100, 180000, {}});
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
    QByteArray data(3000, Qt::Uninitialized);
    QRandomGenerator(7).fillRange(reinterpret_cast<quint32*>(data.data()), data.size() / 4);
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
    QByteArray data(20000, Qt::Uninitialized);
    QRandomGenerator(9).fillRange(reinterpret_cast<quint32*>(data.data()), data.size() / 4);
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
    p.terminate();
    ASSERT_TRUE(p.waitForFinished(10000));
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 0);
}
