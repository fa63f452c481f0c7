// Two stations on the air: two tolvan-terminal programs in headless mode,
// each on its own Direwolf modem of the pair, with the receive watch of the
// station program on the receiving side; and the same end to end with both
// stations' screens driven in this process as their operators would.

#include "terminal/DirewolfPair.h"

#include "config/ConfigStore.h"
#include "mail/MailCodec.h"
#include "monitor/fileoperation.h"
#include "monitor/received.h"
#include "platform/Application.h"
#include "platform/LocaleText.h"
#include "platform/fake/FakePlatform.h"
#include "pmba/ModPMBA.h"
#include "sevenplus/Mod7plus.h"
#include "shell/AppContext.h"
#include "shell/ScreenRegistry.h"
#include "shell/Screens.h"
#include "terminal/TerminalSettings.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QRandomGenerator>

#include <gtest/gtest.h>

#include <functional>
#include <map>

namespace {

using namespace tolvan;
using tolvan::test::DirewolfPair;

QByteArray randomBytes(int size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator rng{quint32(size)};
    for (char& c : bytes) {
        c = char(rng.generate());
    }
    return bytes;
}

bool writeAll(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

// A program whose standard output is one JSON object per line.
class JsonProcess {
public:
    ~JsonProcess()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.terminate();
            if (!m_process.waitForFinished(10000)) {
                m_process.kill();
                m_process.waitForFinished(3000);
            }
        }
    }
    void start(const QString& program, const QStringList& args, const QString& errorFile = QProcess::nullDevice())
    {
        m_process.setStandardErrorFile(errorFile);
        m_process.start(program, args);
        ASSERT_TRUE(m_process.waitForStarted(5000)) << qPrintable(program);
    }
    // Reads the lines written so far.
    void pump()
    {
        if (!m_process.isOpen()) {
            return; // not started in this case
        }
        m_pending += m_process.readAllStandardOutput();
        for (qsizetype end; (end = m_pending.indexOf('\n')) >= 0; m_pending.remove(0, end + 1)) {
            m_lines << QJsonDocument::fromJson(m_pending.left(end)).object();
        }
    }
    QList<QJsonObject> lines(const QString& event = {}) const
    {
        QList<QJsonObject> found;
        for (const QJsonObject& line : m_lines) {
            if (event.isEmpty() || line.value("event").toString() == event) {
                found << line;
            }
        }
        return found;
    }
    QString transcript() const
    {
        QString text;
        for (const QJsonObject& line : m_lines) {
            text += QString::fromUtf8(QJsonDocument(line).toJson(QJsonDocument::Compact)) + u'\n';
        }
        return text;
    }

private:
    QProcess m_process;
    QByteArray m_pending;
    QList<QJsonObject> m_lines;
};

// A station folder with its send and receive folders, and its terminal.
struct Station {
    QTemporaryDir dir;
    QString folder = dir.path() + u'/';
    QString send = folder + QStringLiteral("Send");
    QString receive = folder + QStringLiteral("Receive");
    JsonProcess terminal;

    Station()
    {
        QDir().mkpath(send);
        QDir().mkpath(receive);
        ConfigStore store(folder);
        store.WriteStoreLine(QStringLiteral("send.dat"), send);
        store.WriteStoreLine(QStringLiteral("receive.dat"), receive);
    }
    // The call sign and the modem's AGW port are the station's settings.
    void start(const DirewolfPair& pair, DirewolfPair::Side side, QStringList extra = {})
    {
        ConfigStore store(folder);
        store.WriteStoreLine(TerminalStore::kCall, pair.call(side));
        store.WriteStoreLine(TerminalStore::kPort, QString::number(pair.agwPort(side)));
        terminal.start(QStringLiteral(TOLVAN_TERMINAL_EXE), QStringList{"--station", folder, "--headless"} + extra,
                       errors());
    }
    QString errors() const { return folder + QStringLiteral("terminal.err"); }
    // The names in the receive folder that the watch and the operator see.
    QStringList visible() const { return QDir(receive).entryList(QDir::Files, QDir::Name); }
};

class Radio : public ::testing::Test {
protected:
    void SetUp() override
    {
        startPair();
        if (!IsSkipped() && !HasFatalFailure()) {
            watch.start(QStringLiteral(TOLVAN_CODEC_EXE), {"watch", b.receive});
            b.start(pair, DirewolfPair::B);
        }
    }
    void startPair()
    {
        if (const QString why = DirewolfPair::missing(); !why.isEmpty()) {
            GTEST_SKIP() << qPrintable(why);
        }
        const QString why = pair.start();
        ASSERT_TRUE(why.isEmpty()) << qPrintable(why);
    }

    // Runs the programs until done() holds, checking every step on the way.
    bool runUntil(const std::function<bool()>& done, int seconds, const std::function<void()>& step = {})
    {
        const QDeadlineTimer deadline(seconds * 1000);
        while (!deadline.hasExpired()) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
            for (JsonProcess* p : {&a.terminal, &b.terminal, &watch}) {
                p->pump();
            }
            if (step) {
                step();
            }
            if (done()) {
                return true;
            }
            QThread::msleep(50);
        }
        return false;
    }

    std::string transcripts()
    {
        const auto tail = [](const QByteArray& text) { return QString::fromLocal8Bit(text.right(600)); };
        return QStringLiteral("A:\n%1%2B:\n%3%4watch:\n%5modem B said:\n%6")
            .arg(a.terminal.transcript(), tail(readAll(a.errors())), b.terminal.transcript(), tail(readAll(b.errors())),
                 watch.transcript(), tail(pair.readLog(DirewolfPair::B)))
            .toStdString();
    }

    // Each name once in the watch's announcements.
    std::map<std::string, int> announced()
    {
        std::map<std::string, int> count;
        for (const QJsonObject& line : watch.lines()) {
            if (line.value("kind").toString() != "sevenplus-set") {
                ++count[line.value("name").toString().toStdString()];
            }
        }
        return count;
    }

    DirewolfPair pair{9600};
    Station a;
    Station b;
    JsonProcess watch;
};

TEST_F(Radio, SendFolderArrivesWholeAtTheOtherStation)
{
    const QString to = pair.call(DirewolfPair::B);
    const QString from = pair.call(DirewolfPair::A);
    // A coded mail and a PMBA mail name their station; the 7PLUS parts go where the operator says.
    const QString mail = MailCodec::ComposeMailFileName(a.send, from, QDateTime::currentDateTime(), LocaleText());
    ASSERT_TRUE(writeAll(
        mail,
        MailCodec::FormatCodedMailLine("TO: " + to, "Subject: test", "Hello over the air", from).toLatin1() + "\r\n"));
    QTemporaryDir work;
    const QString attachment = work.filePath(QStringLiteral("photo.jpg"));
    ASSERT_TRUE(writeAll(attachment, randomBytes(20000)));
    ASSERT_TRUE(ModPMBA::PMBA_CreateBinaryMail(attachment, a.send + "/PMBA - 12-00-00--01-02-26.pmb", to, from,
                                               "Subject: photo", "Message: the picture")
                    .ok());
    const QString big = work.filePath(QStringLiteral("report.bin"));
    ASSERT_TRUE(writeAll(big, randomBytes(Mod7plus::kPartBytes + 1000)));
    ASSERT_TRUE(Mod7plus::Encode7PlusFile(big).ok());
    const QDir parts(work.filePath(QStringLiteral("7PLUS_OUTPUT")));
    for (const QString& part : parts.entryList(QDir::Files)) {
        ASSERT_TRUE(QFile::copy(parts.filePath(part), a.send + u'/' + part));
    }
    const QStringList sent = QDir(a.send).entryList(QDir::Files, QDir::Name);
    ASSERT_EQ(sent.size(), 4) << sent.join(", ").toStdString();
    std::map<QString, QByteArray> original;
    for (const QString& name : sent) {
        original[name] = readAll(a.send + u'/' + name);
    }

    a.start(pair, DirewolfPair::A, {"--to", to});
    const bool arrived = runUntil(
        [&] {
            return b.terminal.lines("file-received").size() >= 4 && a.terminal.lines("file-sent").size() >= 4 &&
                   announced().size() >= 4;
        },
        240);
    ASSERT_TRUE(arrived) << transcripts();
    QThread::msleep(1500); // a second announcement would come within the watch's quiet period
    watch.pump();

    EXPECT_EQ(b.visible(), sent) << transcripts();
    std::map<std::string, int> once;
    for (const QString& name : sent) {
        EXPECT_EQ(readAll(b.receive + u'/' + name), original[name]) << qPrintable(name);
        EXPECT_EQ(readAll(a.send + "/Transmitted/" + name), original[name]) << qPrintable(name);
        once[name.toStdString()] = 1;
    }
    EXPECT_EQ(announced(), once) << transcripts();
    EXPECT_EQ(QDir(a.send).entryList(QDir::Files), QStringList()) << transcripts();
}

TEST_F(Radio, ReceiverLostMidFileResumesAndDeliversOnce)
{
    const QByteArray file = randomBytes(20 * 1024);
    ASSERT_TRUE(writeAll(a.send + "/logbook.adi", file));
    a.start(pair, DirewolfPair::A, {"--to", pair.call(DirewolfPair::B)});

    // Never a visible name before the whole file is there.
    QStringList early;
    const auto watchFolder = [&] {
        if (b.terminal.lines("file-received").isEmpty() && !b.visible().isEmpty()) {
            early = b.visible();
        }
    };
    const auto partial = [&] {
        const QFileInfoList parts = QDir(b.receive).entryInfoList({".*.part"}, QDir::Files | QDir::Hidden);
        return parts.isEmpty() ? 0 : parts.first().size();
    };
    ASSERT_TRUE(runUntil([&] { return partial() >= 6 * 1024; }, 120, watchFolder)) << transcripts();
    pair.stopModem(DirewolfPair::B);
    QThread::msleep(2000);
    const QString restarted = pair.startModem(DirewolfPair::B);
    ASSERT_TRUE(restarted.isEmpty()) << qPrintable(restarted);

    ASSERT_TRUE(runUntil([&] { return !b.terminal.lines("file-received").isEmpty() && !announced().empty(); }, 240,
                         watchFolder))
        << transcripts();
    QThread::msleep(1500);
    runUntil([] { return true; }, 1);
    EXPECT_EQ(early, QStringList()) << transcripts();
    const QList<QJsonObject> received = b.terminal.lines("file-received");
    ASSERT_EQ(received.size(), 1) << transcripts();
    EXPECT_GT(received.first().value("resumed_from").toInteger(), 0) << transcripts();
    EXPECT_EQ(b.visible(), QStringList{"logbook.adi"});
    EXPECT_EQ(readAll(b.receive + "/logbook.adi"), file);
    EXPECT_EQ(announced(), (std::map<std::string, int>{{"logbook.adi", 1}})) << transcripts();
    EXPECT_EQ(readAll(a.send + "/Transmitted/logbook.adi"), file);
}

// One station's program in this process on recording fakes: its screens,
// driven as its operator would drive them, and its receive watch.
class Desk {
public:
    FakeDialogs dialogs;
    FakeSpeaker speaker;
    FakeDesktop desktop;
    FakeProcesses processes;
    FakeClock clock;
    AppContext context;
    std::unique_ptr<ScreenRegistry> registry;

    explicit Desk(const QString& folder)
        : context{ConfigStore(folder), dialogs, speaker, desktop, processes, clock, dashedLocale()}
        , registry(std::make_unique<ScreenRegistry>(context))
    {
        registerAllScreens(*registry);
        Application::instance()->setDialogs(&dialogs);
    }
    ~Desk()
    {
        Application::instance()->setDialogs(nullptr);
        fileoperation::ReleaseReceiveMonitor();
        registry.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    template <class T = QWidget>
    T* control(const QString& screen, const QString& name) const
    {
        Screen* s = registry->loaded(screen);
        T* found = s ? s->findChild<T*>(name) : nullptr;
        EXPECT_NE(found, nullptr) << qPrintable(screen + u'.' + name);
        return found;
    }
    void click(const QString& screen, const QString& button)
    {
        if (auto* b = control<QAbstractButton>(screen, button)) {
            b->click();
        }
    }
    // The To, Subject, Message and From boxes of a mail screen.
    QStringList mailBoxes(const QString& screen) const
    {
        return {control<QLineEdit>(screen, "Text3")->text(), control<QLineEdit>(screen, "Text2")->text(),
                control<QPlainTextEdit>(screen, "Text1")->toPlainText(), control<QLineEdit>(screen, "Text4")->text()};
    }
    std::string boxes() const { return dialogs.texts().join(" | ").toStdString(); }

private:
    static LocaleText dashedLocale()
    {
        LocaleText locale(QLocale(QLocale::English, QLocale::UnitedStates));
        locale.setDateSeparator(QStringLiteral("-"));
        return locale;
    }
};

// The modems only; the stations' terminals start once their operators have
// posted, and the hand-over files of the screens go to a folder of the test's.
class RadioStations : public Radio {
protected:
    void SetUp() override
    {
        startPair();
        QDir::setCurrent(work.path());
    }
    void TearDown() override { QDir::setCurrent(previous); }

    // B's operator waits in the received screen with the main menu behind it.
    void waitAtB(Desk& desk)
    {
        desk.registry->Show(QStringLiteral("mainmenu"));
        desk.registry->Show(QStringLiteral("received"));
        desk.speaker.spoken.clear();
        b.start(pair, DirewolfPair::B);
        a.start(pair, DirewolfPair::A);
    }

    QTemporaryDir work;
    QString previous = QDir::currentPath();
};

TEST_F(RadioStations, MailComposedAtAIsAnnouncedAndReadAtB)
{
    const QStringList mail{"TO- " + pair.call(DirewolfPair::B), "Subject- radio check", "Hello B,\nover the air.",
                           "From- " + pair.call(DirewolfPair::A)};
    {
        Desk desk(a.folder);
        desk.registry->Show(QStringLiteral("mailform"));
        desk.control<QLineEdit>("mailform", "Text3")->setText(mail[0]);
        desk.control<QLineEdit>("mailform", "Text2")->setText(mail[1]);
        desk.control<QPlainTextEdit>("mailform", "Text1")->setPlainText(mail[2]);
        desk.control<QLineEdit>("mailform", "Text4")->setText(mail[3]);
        desk.click("mailform", "Command1");
        ASSERT_TRUE(desk.dialogs.boxes.isEmpty()) << desk.boxes();
    }
    const QStringList posted = QDir(a.send).entryList(QDir::Files);
    ASSERT_EQ(posted.size(), 1) << "the compose screen posted: " << posted.join(", ").toStdString();

    Desk desk(b.folder);
    waitAtB(desk);
    ASSERT_TRUE(runUntil([&] { return !desk.speaker.spoken.isEmpty(); }, 180))
        << "the mail was not announced at B\n" << transcripts();
    EXPECT_EQ(desk.speaker.spoken, QStringList{received::kArrivalWarning});
    EXPECT_EQ(desk.control<QLabel>("mainmenu", "Label1")->text(), received::kArrivalNotice);
    EXPECT_TRUE(runUntil([&] { return QFile::exists(a.send + "/Transmitted/" + posted[0]); }, 10))
        << "A did not file the sent mail away\n" << transcripts();

    auto* list = desk.control<QListWidget>("received", "File1");
    const QList<QListWidgetItem*> items = list->findItems(posted[0], Qt::MatchExactly);
    ASSERT_EQ(items.size(), 1) << "B's received screen does not list " << posted[0].toStdString();
    list->setCurrentItem(items.first());
    desk.click("received", "Command2");
    ASSERT_TRUE(desk.registry->IsFormLoaded("inboxform")) << desk.boxes();
    QStringList shown; // the mail travels in capitals
    for (const QString& field : mail) {
        shown << field.toUpper();
    }
    EXPECT_EQ(desk.mailBoxes("inboxform"), shown) << desk.boxes();
}

TEST_F(RadioStations, SevenPlusSetPostedAtAArrivesCompleteAtB)
{
    const QString to = pair.call(DirewolfPair::B);
    const QString source = work.filePath(QStringLiteral("REPORT.BIN"));
    const QByteArray original = randomBytes(Mod7plus::kPartBytes + 1000); // two parts
    ASSERT_TRUE(writeAll(source, original));
    {
        Desk desk(a.folder);
        desk.registry->Show(QStringLiteral("frm7Plus"));
        desk.control<QLineEdit>("frm7Plus", "txt7PlusFile")->setText(source);
        desk.click("frm7Plus", "cmdEncode7Plus");
        desk.control<QLineEdit>("frm7Plus", "txtPostTo")->setText(to.toLower());
        desk.click("frm7Plus", "cmdPost7Plus");
        ASSERT_EQ(QDir(a.send + u'/' + to).entryList(QDir::Files), (QStringList{"REPORT.P01", "REPORT.P02"}))
            << desk.boxes();
    }

    Desk desk(b.folder);
    waitAtB(desk);
    const QString complete = QStringLiteral("7PLUS file REPORT.BIN has arrived complete");
    ASSERT_TRUE(runUntil([&] { return desk.speaker.spoken.contains(complete); }, 240))
        << "B did not announce the set complete; it said: " << desk.speaker.spoken.join(" | ").toStdString() << '\n'
        << transcripts();
    EXPECT_EQ(desk.control<QLabel>("mainmenu", "Label1")->text(), received::kSevenPlusNotice + "REPORT.BIN ");
    EXPECT_TRUE(runUntil([&] { return QDir(a.send + u'/' + to).isEmpty(); }, 10))
        << "A kept parts to send again\n" << transcripts();
    auto* sets = desk.control<QListWidget>("received", "lst7PlusSets");
    ASSERT_EQ(sets->count(), 1);
    EXPECT_EQ(sets->item(0)->text(), QString::fromUtf8("REPORT.BIN \u2014 2 of 2 parts, complete"));

    // Read Message on a part decodes the whole set, byte for byte.
    auto* list = desk.control<QListWidget>("received", "File1");
    list->setCurrentRow(0);
    desk.click("received", "Command2");
    EXPECT_EQ(readAll(b.receive + "/7PLUS_RECEIVED/REPORT.BIN"), original) << desk.boxes();
}

} // namespace
