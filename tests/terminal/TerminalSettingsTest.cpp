#include "terminal/TerminalSettings.h"
#include "config/ConfigStore.h"
#include "terminal/DirewolfConf.h"
#include "terminal/TerminalJournal.h"
#include "terminal/TerminalSettingsEdit.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace tolvan;

namespace {

struct OptionCase {
    QStringList args;
    const char* error; // empty: accepted
};

class TerminalOptionsTest : public testing::TestWithParam<OptionCase> {};

} // namespace

TEST_P(TerminalOptionsTest, BadValuesAreUsageErrorsNamingTheOption)
{
    const TerminalOptions o = ParseTerminalOptions(GetParam().args);
    const QString expected = QString::fromUtf8(GetParam().error);
    if (expected.isEmpty()) {
        EXPECT_NE(o.action, TerminalOptions::Action::Error) << o.error.toStdString();
    } else {
        EXPECT_EQ(o.action, TerminalOptions::Action::Error);
        EXPECT_TRUE(o.error.contains(expected)) << o.error.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TerminalOptionsTest,
    testing::Values(OptionCase{{"--headless", "--call", "n0aaa-15", "--tnc", "host:8001", "--path", "D1G,W1DE-2"}, ""},
                    OptionCase{{"--to=N0BBB", "--radio-port", "3", "--station", "/tmp/x"}, ""},
                    OptionCase{{"--call", "NOCALL"}, "--call: \"NOCALL\" is not a call sign"},
                    OptionCase{{"--call", "N0AAA-16"}, "SSID must be from 0 to 15"},
                    OptionCase{{"--call", "N0AAAAA"}, "1 to 6 letters"},
                    OptionCase{{"--tnc", "localhost"}, "--tnc: \"localhost\" is not HOST:PORT"},
                    OptionCase{{"--tnc", "h:70000"}, "not a TCP port"},
                    OptionCase{{"--radio-port", "-1"}, "--radio-port"},
                    OptionCase{{"--path", "A1A,bad call"}, "--path"}, OptionCase{{"--to"}, "--to needs a value"},
                    OptionCase{{"--headless=1"}, "takes no value"},
                    OptionCase{{"--speed", "9600"}, "unknown option \"--speed\""}));

// The store's values are read and checked; an option overrides its file.
TEST(TerminalSettings, StoreValuesAreCheckedAndOverridden)
{
    QTemporaryDir tmp;
    const QString station = tmp.path() + "/st/";
    QDir().mkpath(station);
    QDir().mkpath(tmp.path() + "/send");
    QDir().mkpath(tmp.path() + "/recv");
    ConfigStore store(station);
    ASSERT_TRUE(store.WriteStoreLine("send.dat", tmp.path() + "/send").ok());
    ASSERT_TRUE(store.WriteStoreLine("receive.dat", tmp.path() + "/recv").ok());

    Result<TerminalSettings> s = LoadTerminalSettings(store, {});
    EXPECT_TRUE(s.error().contains("terminalcall.dat")) << s.error().toStdString();

    ASSERT_TRUE(store.WriteStoreLine("terminalcall.dat", "n0aaa-1").ok());
    ASSERT_TRUE(store.WriteStoreLine("tncport.dat", "99999").ok());
    s = LoadTerminalSettings(store, {});
    EXPECT_TRUE(s.error().contains("tncport.dat: \"99999\" is not a TCP port")) << s.error().toStdString();

    ASSERT_TRUE(store.WriteStoreLine("tncport.dat", "8010").ok());
    ASSERT_TRUE(store.WriteStoreLine("allowedcalls.dat", "N0BBB, N0CCC-2").ok());
    s = LoadTerminalSettings(store, ParseTerminalOptions({"--tnc", "10.0.0.2:8020"}));
    ASSERT_TRUE(s.ok()) << s.error().toStdString();
    EXPECT_EQ(s->call, "N0AAA-1");
    EXPECT_EQ(s->host, "10.0.0.2");
    EXPECT_EQ(s->port, 8020);
    EXPECT_TRUE(s->sendFolder.endsWith("/send/"));
    // A call without SSID allows each of the station's SSIDs.
    EXPECT_TRUE(s->allows("N0BBB-7") && s->allows("N0CCC-2"));
    EXPECT_FALSE(s->allows("N0CCC") || s->allows("N0DDD"));

    ASSERT_TRUE(store.WriteStoreLine("receive.dat", tmp.path() + "/gone").ok());
    s = LoadTerminalSettings(store, {});
    EXPECT_TRUE(s.error().contains("receive folder")) << s.error().toStdString();
}

// The configuration is written when missing, rewritten while unedited, and
// an edited one is kept byte for byte.
TEST(TerminalSettings, DirewolfConfNeverReplacesAnEditedFile)
{
    QTemporaryDir tmp;
    DirewolfConf::Station st{"N0AAA-1", 8010};
    const QString path = tmp.path() + "/direwolf.conf";
    ASSERT_EQ(DirewolfConf::Write(tmp.path(), st).value(), DirewolfConf::Outcome::Written);
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray text = f.readAll();
    f.close();
    for (const char* line : {"MYCALL N0AAA-1\n", "AGWPORT 8010\n", "ARATE 48000\n", "PACLEN 256\n", "KISSPORT 0\n"}) {
        EXPECT_TRUE(text.contains(line)) << line;
    }
    st.agwPort = 8020;
    EXPECT_EQ(DirewolfConf::Write(tmp.path(), st).value(), DirewolfConf::Outcome::Replaced);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite | QIODevice::Append));
    f.write("ADEVICE plughw:1,0\n");
    f.close();
    st.agwPort = 8030;
    EXPECT_EQ(DirewolfConf::Write(tmp.path(), st).value(), DirewolfConf::Outcome::KeptEdited);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray kept = f.readAll();
    EXPECT_TRUE(kept.contains("AGWPORT 8020\n") && kept.endsWith("ADEVICE plughw:1,0\n"));
}

namespace {

// An event as the engine prints it, what the journal says of it, and what
// the window's glance shows after it (transfer line, TNC line, first waiting
// destination), with the figures in the US English form.
struct EventCase {
    const char* json;
    const char* sentence; // empty: not journalled
    const char* glance;   // a text one of the glance's lines contains; empty: none checked
};

class TerminalJournalTest : public testing::TestWithParam<EventCase> {};

} // namespace

TEST_P(TerminalJournalTest, EventsReadAsPlainSentencesAndStates)
{
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    const QJsonObject event = QJsonDocument::fromJson(GetParam().json).object();
    EXPECT_EQ(TerminalJournal::Describe(event, us), QString::fromUtf8(GetParam().sentence));
    TerminalGlance glance(us);
    glance.starting("127.0.0.1", 8000, "N0AAA-1");
    glance.feed(event);
    QStringList shown{glance.tncText(), glance.listenText(), glance.transferText()};
    for (const TerminalGlance::Waiting& w : glance.waiting()) {
        shown << glance.waitingText(w);
    }
    EXPECT_TRUE(shown.join(" | ").contains(QString::fromUtf8(GetParam().glance))) << shown.join(" | ").toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TerminalJournalTest,
    testing::Values(
        EventCase{R"({"event":"file-sent","to":"N0BBB-1","name":"MAIL - 1.txt","bytes":1234,"seconds":12.4})",
                  "Sent MAIL - 1.txt to N0BBB-1, 1,234 bytes in 12 s", "Nothing is being sent"},
        EventCase{R"({"event":"file-received","from":"N0BBB","name":"A.P01","bytes":5000,"resumed_from":2000})",
                  "Received A.P01 from N0BBB, 5,000 bytes, resumed after 2,000 bytes", ""},
        EventCase{R"({"event":"progress","direction":"out","peer":"N0BBB-1","name":"PHOTO.P01","done":2150,)"
                  R"("total":5000,"bytes_per_second":41.5})",
                  "", "Sending PHOTO.P01 to N0BBB-1: 43 % (2,150 of 5,000 bytes), 42 bytes/s, about 1 min 9 s left"},
        EventCase{R"({"event":"file-started","direction":"in","peer":"N0CCC","name":"B.txt","total":1,)"
                  R"("resumed_from":0})",
                  "Receiving B.txt from N0CCC, 1 byte", "Receiving B.txt from N0CCC: 0 % (0 of 1 byte)"},
        EventCase{R"({"event":"queue","paused":false,"destinations":[{"to":"N0BBB-1","files":["A.txt","B.P01",)"
                  R"("C"],"bytes":12345,"next_try":"2026-12-07T10:42:00","given_up":false}]})",
                  "", "N0BBB-1: 3 files, 12,345 bytes, next try 10:42"},
        EventCase{R"({"event":"queue","paused":true,"destinations":[{"to":"N0BBB-1","files":["A"],"bytes":9,)"
                  R"("next_try":"","given_up":false}]})",
                  "", "N0BBB-1: 1 file, 9 bytes, waits for Send now (stopped)"},
        EventCase{R"({"event":"retry","to":"N0BBB-1","attempt":2,"wait_seconds":120,"reason":"no answer"})",
                  "No contact with N0BBB-1 (no answer); try 2 in 2 min", ""},
        EventCase{R"({"event":"tnc-lost","reason":"the TNC closed the connection"})",
                  "Lost the TNC (the TNC closed the connection); trying again", "Not listening: no TNC"},
        EventCase{R"({"event":"error","message":"The TNC at 127.0.0.1:8000 cannot be reached (Connection )"
                  R"(refused); trying again"})",
                  "The TNC at 127.0.0.1:8000 cannot be reached (Connection refused); trying again",
                  "The TNC at 127.0.0.1:8000 cannot be reached"},
        EventCase{R"({"event":"tnc-connected","host":"127.0.0.1","port":8000})",
                  "Connected to the TNC at 127.0.0.1:8000", "Listening for calls to N0AAA-1"},
        EventCase{R"({"event":"refused","from":"N0XXX","name":"","reason":"N0XXX is not in allowedcalls.dat"})",
                  "Refused a call from N0XXX: N0XXX is not in allowedcalls.dat", ""},
        EventCase{R"({"event":"chat-line","peer":"N0BBB","direction":"in","text":"hi"})", "", ""},
        EventCase{R"({"event":"queue","paused":false,"destinations":[{"to":"N0BBB","files":["A"],"bytes":9,)"
                  R"("next_try":"","given_up":true}]})",
                  "", "N0BBB: 1 file, 9 bytes, no answer; waits for Send now"},
        EventCase{R"({"event":"chat-connected","peer":"N0BBB","direction":"in"})", "N0BBB called to talk", ""}));

// The journal keeps the last 200 lines, oldest first, each with its time.
TEST(TerminalJournal, KeepsTheLastTwoHundredLines)
{
    TerminalJournal journal(QLocale(QLocale::English, QLocale::UnitedStates));
    const QDateTime at(QDate(2026, 12, 7), QTime(10, 41, 12));
    EXPECT_TRUE(journal.feed(QJsonObject{{"event", "progress"}}, at).isEmpty());
    for (int i = 0; i < 205; ++i) {
        journal.feed(QJsonObject{{"event", "error"}, {"message", QString::number(i)}}, at);
    }
    ASSERT_EQ(journal.lines().size(), TerminalJournal::kKeep);
    EXPECT_EQ(journal.lines().first(), "10:41:12  5");
    EXPECT_EQ(journal.lines().last(), "10:41:12  204");
}

namespace {

struct SettingsCase {
    TerminalSettingsTexts::Field field;
    const char* text;
    const char* why; // empty: accepted
};

class TerminalSettingsChecks : public testing::TestWithParam<SettingsCase> {};

} // namespace

TEST_P(TerminalSettingsChecks, EachFieldSaysWhatIsWrong)
{
    const QString why = TerminalSettingsTexts::Check(GetParam().field, QString::fromUtf8(GetParam().text));
    const QString expected = QString::fromUtf8(GetParam().why);
    if (expected.isEmpty()) {
        EXPECT_TRUE(why.isEmpty()) << why.toStdString();
    } else {
        EXPECT_TRUE(why.contains(expected)) << why.toStdString();
    }
}

using F = TerminalSettingsTexts;
INSTANTIATE_TEST_SUITE_P(
    Cases, TerminalSettingsChecks,
    testing::Values(SettingsCase{F::Call, " n0aaa-1 ", ""}, SettingsCase{F::Call, "", "call sign is needed"},
                    SettingsCase{F::Call, "NOCALL", "holds both letters and digits"},
                    SettingsCase{F::Call, "N0AAA-16", "SSID must be from 0 to 15"},
                    SettingsCase{F::Host, "tnc.local", ""}, SettingsCase{F::Host, " ", "host name or address"},
                    SettingsCase{F::Host, "host:8000", "the port has its own box"},
                    SettingsCase{F::Port, "8000", ""}, SettingsCase{F::Port, "0", "from 1 to 65535"},
                    SettingsCase{F::Port, "65536", "from 1 to 65535"}, SettingsCase{F::Port, "80a", "not a TCP port"},
                    SettingsCase{F::RadioPort, "0", ""}, SettingsCase{F::RadioPort, "256", "from 0 to 255"},
                    SettingsCase{F::RadioPort, "-1", "not a radio port"}, SettingsCase{F::Path, "", ""},
                    SettingsCase{F::Path, "wide1-1, d1g", ""},
                    SettingsCase{F::Path, "A1A,B1B,C1C,D1D,E1E,F1F,G1G,H1H", "At most 7 digipeaters"},
                    SettingsCase{F::Allowed, "N0BBB,bad call", "Allowed stations: \"bad call\" is not a call sign"}));

// Saving writes every file in its normal form and the engine reads them
// back; one bad field saves nothing.
TEST(TerminalSettings, SavedTextsAreWhatTheEngineReads)
{
    QTemporaryDir tmp;
    ConfigStore store(tmp.path() + "/");
    F texts = F::Read(store);
    EXPECT_EQ(texts[F::Port], "8000");
    texts[F::Call] = "n0aaa-1";
    texts[F::Path] = "wide1-1 , d1g";
    texts[F::Port] = "70000";
    EXPECT_TRUE(texts.save(store).error().contains("from 1 to 65535"));
    EXPECT_FALSE(store.StoreFileExists("terminalcall.dat"));
    texts[F::Port] = "8010";
    ASSERT_TRUE(texts.save(store).ok());
    const Result<TerminalSettings> s = LoadTerminalSettings(store, {}, false);
    ASSERT_TRUE(s.ok()) << s.error().toStdString();
    EXPECT_EQ(s->call, "N0AAA-1");
    EXPECT_EQ(s->port, 8010);
    EXPECT_EQ(s->path, (QList<QByteArray>{"WIDE1-1", "D1G"}));
    EXPECT_EQ(F::Read(store)[F::Path], "WIDE1-1,D1G");
}
