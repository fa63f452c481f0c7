#include "terminal/TerminalSettings.h"
#include "config/ConfigStore.h"
#include "terminal/DirewolfConf.h"

#include <QDir>
#include <QFile>
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
