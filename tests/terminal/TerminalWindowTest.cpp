// The terminal's window: driven offscreen over an in-process AGW TNC, and as
// the real program on a private X display, where the station program's
// "Check Running Packet Program" finds and raises it.

#include "terminal/TerminalWindow.h"
#include "FakeTnc.h"
#include "config/ConfigStore.h"
#include "platform/X11Desktop.h"
#include "platform/fake/FakePlatform.h"
#include "shell/PacketTerminal.h"
#include "terminal/TerminalRuntime.h"
#include "terminal/TncLink.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTest>

#include <gtest/gtest.h>

// After GoogleTest and Qt: Xlib's macros would break their headers.
#include "XSession.h"

using namespace tolvan;
using namespace tolvan::test;

namespace {

// A station folder whose settings point at the fake TNC, and this station's window.
struct WindowStation {
    QTemporaryDir dir;
    QString folder = dir.path() + "/station/";
    FakeSpeaker speaker;
    std::unique_ptr<TerminalRuntime> runtime;
    std::unique_ptr<TerminalWindow> window;

    explicit WindowStation(quint16 tncPort, const char* sound = "1", bool open = true)
    {
        QDir().mkpath(folder);
        QDir().mkpath(dir.path() + "/send");
        QDir().mkpath(dir.path() + "/recv");
        ConfigStore store(folder);
        store.WriteStoreLine("send.dat", dir.path() + "/send");
        store.WriteStoreLine("receive.dat", dir.path() + "/recv");
        store.WriteStoreLine("terminalcall.dat", "N0AAA");
        store.WriteStoreLine("tncport.dat", QString::number(tncPort));
        store.WriteStoreLine("soundsettings.dat", sound);
        if (!open) {
            return;
        }
        runtime = std::make_unique<TerminalRuntime>(folder, TerminalOptions{});
        window = std::make_unique<TerminalWindow>(*runtime, speaker, QLocale(QLocale::English, QLocale::UnitedStates));
        EXPECT_TRUE(runtime->start().ok());
    }
    template <class T = QWidget> T* find(const char* name) { return window->findChild<T*>(QLatin1String(name)); }
};

// The far station: an engine of its own on the same TNC.
struct FarStation {
    QTemporaryDir dir;
    TncLink link;
    std::unique_ptr<TerminalEngine> engine;
    QList<QJsonObject> events;

    explicit FarStation(quint16 port)
    {
        TerminalSettings s{"N0BBB", "127.0.0.1", port, 0, {}, {}, {}, dir.path() + "/", dir.path() + "/"};
        engine = std::make_unique<TerminalEngine>(s, link);
        ConnectEngine(link, *engine);
        QObject::connect(engine.get(), &TerminalEngine::event, [this](const QJsonObject& e) { events << e; });
        engine->start();
        link.start("127.0.0.1", port, "N0BBB", 0);
    }
    bool heard(const QString& event, const QString& text = {})
    {
        return QTest::qWaitFor(
            [&] {
                return std::any_of(events.begin(), events.end(), [&](const QJsonObject& e) {
                    return e["event"].toString() == event && (text.isEmpty() || e["text"].toString() == text);
                });
            },
            10000);
    }
};

} // namespace

// A typed line reaches the far station; what it sends back is shown with
// its escape sequence made visible, never taken as control.
TEST(TerminalWindow, ConversationLinesGoOutAndComeBackAsPlainText)
{
    FakeTnc tnc;
    FarStation far(tnc.port());
    WindowStation st(tnc.port());
    auto* call = st.find<QLineEdit>("txtCall");
    auto* state = st.find<QLabel>("lblTalking");
    call->setText("n0bbb");
    // The TNC registers the call sign a moment after the connection.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            st.find<QAbstractButton>("cmdConnect")->click();
            return state->text().startsWith("Calling");
        },
        10000))
        << state->text().toStdString();
    ASSERT_TRUE(QTest::qWaitFor([&] { return state->text() == "Talking with N0BBB."; }, 10000));

    auto* line = st.find<QLineEdit>("txtLine");
    line->setText("hello there");
    QTest::keyClick(line, Qt::Key_Return);
    EXPECT_TRUE(far.heard("chat-line", "hello there"));
    EXPECT_TRUE(line->text().isEmpty());

    ASSERT_TRUE(far.engine->sendChatLine("N0AAA", QString::fromLatin1("\x1b[2Jred\x07")).ok());
    auto* transcript = st.find<QPlainTextEdit>("txtTranscript");
    ASSERT_TRUE(QTest::qWaitFor([&] { return transcript->toPlainText().contains("from N0BBB: "); }, 10000));
    const QString shown = transcript->toPlainText();
    EXPECT_TRUE(shown.contains("^[[2Jred")) << shown.toStdString();
    EXPECT_FALSE(shown.contains(QChar(0x1b)) || shown.contains(QChar(0x07)));
    EXPECT_TRUE(shown.contains(QRegularExpression("\\d\\d:\\d\\d:\\d\\d  to N0BBB: hello there")));

    st.find<QAbstractButton>("cmdDisconnect")->click();
    EXPECT_TRUE(far.heard("chat-disconnected"));
}

// A station calling to talk opens the conversation page and is announced,
// spoken only while the station's sound is on.
TEST(TerminalWindow, AnIncomingConversationOpensThePaneAndIsAnnounced)
{
    for (const char* sound : {"1", "0"}) {
        FakeTnc tnc;
        FarStation far(tnc.port());
        WindowStation st(tnc.port(), sound);
        ASSERT_TRUE(QTest::qWaitFor([&] { return far.engine->connectChat("N0AAA").ok(); }, 10000));
        ASSERT_TRUE(far.heard("chat-connected"));
        // Its first words make it a conversation rather than a file transfer.
        ASSERT_TRUE(far.engine->sendChatLine("N0AAA", "QRV?").ok());
        auto* tabs = st.find<QTabWidget>("tabs");
        ASSERT_TRUE(QTest::qWaitFor([&] { return tabs->currentWidget()->objectName() == "ConversationPane"; }, 10000));
        EXPECT_EQ(st.find<QLabel>("lblNotice")->text(), "N0BBB called to talk");
        EXPECT_TRUE(st.find<QPlainTextEdit>("txtTranscript")->toPlainText().contains("from N0BBB: QRV?"));
        const QStringList spoken{"N0BBB called this station", "N0BBB called to talk"};
        EXPECT_EQ(st.speaker.spoken, QString::fromLatin1(sound) == "1" ? spoken : QStringList{});
    }
}

// Saved settings are checked, written and used at once: the engine starts
// again and finds the TNC at its new port.
TEST(TerminalWindow, SavedSettingsStartTheEngineAgain)
{
    FakeTnc tnc;
    WindowStation st(1);
    auto* port = st.find<QLineEdit>("txtPort");
    port->setText("65536");
    EXPECT_FALSE(st.find<QLabel>("txtPortProblem")->isHidden());
    st.find<QAbstractButton>("cmdSave")->click();
    EXPECT_TRUE(st.find<QLabel>("lblSaved")->text().startsWith("Not saved: \"65536\" is not a TCP port"));
    port->setText(QString::number(tnc.port()));
    st.find<QAbstractButton>("cmdSave")->click();
    EXPECT_EQ(ConfigStore(st.folder).ReadStoreLine("tncport.dat").value, QString::number(tnc.port()));
    const QString connected = QString("Connected to the TNC at 127.0.0.1:%1").arg(tnc.port());
    EXPECT_TRUE(QTest::qWaitFor([&] { return st.find<QLabel>("lblTnc")->text() == connected; }, 10000))
        << st.find<QLabel>("lblTnc")->text().toStdString();
}

// Stop and Send now reach the engine, and the window shows what it did; a
// destination that is no call sign is refused beside the buttons.
TEST(TerminalWindow, StopAndSendNowReachTheEngine)
{
    WindowStation st(1);
    st.find<QAbstractButton>("cmdStop")->click();
    EXPECT_TRUE(st.runtime->engine()->isPaused());
    EXPECT_TRUE(st.find<QLabel>("lblListen")->text().endsWith("; sending stopped"));
    st.find<QLineEdit>("txtDestination")->setText("nocall");
    st.find<QAbstractButton>("cmdSendNow")->click();
    EXPECT_TRUE(st.runtime->engine()->isPaused());
    EXPECT_TRUE(st.find<QLabel>("lblNotice")->text().contains("\"nocall\" is not a call sign"));
    st.find<QLineEdit>("txtDestination")->setText("n0bbb-1");
    st.find<QAbstractButton>("cmdSendNow")->click();
    EXPECT_FALSE(st.runtime->engine()->isPaused());
    EXPECT_TRUE(st.window->journal().lines().last().endsWith("Sending again"));
}

// A received file is announced: spoken, and shown in the news line, which
// screen readers know as an alert (the events themselves reach only a real
// accessibility bus).
TEST(TerminalWindow, AReceivedFileIsAnAlertToScreenReaders)
{
    WindowStation st(1);
    st.window->onEvent(QJsonObject{{"event", "file-received"}, {"from", "N0BBB"}, {"name", "A.txt"}, {"bytes", 1}});
    QAccessibleInterface* notice = QAccessible::queryAccessibleInterface(st.find("lblNotice"));
    ASSERT_NE(notice, nullptr);
    EXPECT_EQ(notice->role(), QAccessible::AlertMessage);
    EXPECT_EQ(notice->text(QAccessible::Name), "Received A.txt from N0BBB, 1 byte");
    EXPECT_EQ(st.speaker.spoken, QStringList{"Received A.txt from N0BBB, 1 byte"});
}

// Every control has an accessible name, Tab goes through them in reading
// order, and no two access keys that can be pressed together are the same.
TEST(TerminalWindow, EveryControlIsNamedAndAccessKeysDoNotClash)
{
    WindowStation st(1);
    auto* tabs = st.find<QTabWidget>("tabs");
    QStringList chain;
    for (QWidget* w = st.find("lblTnc"); w && chain.size() < 40; w = w->nextInFocusChain()) {
        if (!w->objectName().isEmpty() && w->focusPolicy() & Qt::TabFocus) {
            chain << w->objectName();
        }
    }
    const QStringList reading{"lblTnc",     "lblTransfer",   "tabs",          "lstWaiting", "txtDestination",
                              "cmdSendNow", "cmdStop",       "lstJournal",    "txtCall",    "txtPath",
                              "cmdConnect", "cmdDisconnect", "txtTranscript", "txtLine"};
    qsizetype at = -1;
    for (const QString& name : reading) {
        EXPECT_GT(chain.indexOf(name), at) << name.toStdString() << " in " << chain.join(' ').toStdString();
        at = chain.indexOf(name);
    }
    QString global;
    for (int i = 0; i < tabs->count(); ++i) {
        global += tabs->tabText(i).section('&', 1).left(1).toUpper();
    }
    for (int i = 0; i < tabs->count(); ++i) {
        QString keys = global;
        for (QWidget* w : tabs->widget(i)->findChildren<QWidget*>()) {
            const auto* label = qobject_cast<QLabel*>(w);
            const auto* button = qobject_cast<QAbstractButton*>(w);
            const QString text = label ? label->text() : button ? button->text() : QString();
            if (text.contains('&')) {
                const QString key = text.section('&', 1).left(1).toUpper();
                EXPECT_FALSE(keys.contains(key)) << text.toStdString() << " on page " << i;
                keys += key;
            }
            if (w->focusPolicy() & Qt::TabFocus && w->isEnabled() && !w->inherits("QScrollBar") &&
                !w->parentWidget()->inherits("QAbstractScrollArea")) {
                EXPECT_FALSE(w->accessibleName().isEmpty() && !button) << w->objectName().toStdString();
            }
        }
    }
}

// The real program on a real display: its window has the exact title, and
// the station program's search for a packet terminal raises it.
TEST(TerminalWindow, TheStationProgramFindsAndRaisesIt)
{
    XSession x;
    const QString problem = x.start();
    if (problem.contains("not installed")) {
        GTEST_SKIP() << problem.toStdString();
    }
    ASSERT_TRUE(problem.isEmpty()) << problem.toStdString();
    const ScopedEnv display("DISPLAY", x.name());
    WindowStation st(1, "0", false); // no TNC there: the window says so and stays
    QProcess terminal;
    terminal.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "xcb");
    terminal.setProcessEnvironment(env);
    terminal.start(TOLVAN_TERMINAL, {"--station", st.folder});
    X11Desktop desktop;
    ASSERT_TRUE(waitUntil([&] { return desktop.findWindow("TOLVAN Terminal") == DesktopResult::Done; }, 15000))
        << terminal.readAllStandardError().toStdString();
    // The new window takes the focus once mapped; another program's window then takes it over.
    ASSERT_TRUE(waitUntil([&] { return x.title(x.active()) == "TOLVAN Terminal"; }, 10000));
    const Window other = x.window("Logbook");
    ASSERT_TRUE(waitUntil([&] { return x.active() == other; }, 10000));

    EXPECT_EQ(RaisePacketTerminal(desktop), DesktopResult::Done);
    EXPECT_TRUE(waitUntil([&] { return x.title(x.active()) == "TOLVAN Terminal"; }));
    // The state for the station program's main menu, gone at a clean end.
    EXPECT_TRUE(waitUntil([&] { return QFile::exists(st.folder + "terminal-status.json"); }));

    terminal.terminate();
    ASSERT_TRUE(terminal.waitForFinished(10000));
    EXPECT_EQ(terminal.exitCode(), 0);
    EXPECT_FALSE(QFile::exists(st.folder + "terminal-status.json"));
}
