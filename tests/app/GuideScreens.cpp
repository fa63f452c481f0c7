// Takes the operator guide's screenshots in real windows. Run through
// scripts/guide-screenshots.sh, which starts a private X display; in a plain
// test run (no TOLVAN_GUIDE_SHOTS) it is skipped.

#include "ScreenFixture.h"

#include "config/StandardFolders.h"
#include "mail/MailCodec.h"
#include "mail/MailPost.h"
#include "terminal/TerminalRuntime.h"
#include "terminal/TerminalWindow.h"

#include <QGuiApplication>
#include <QImage>
#include <QJsonDocument>
#include <QTabWidget>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTest>

using namespace tolvan;

namespace {

class GuideScreens : public test::ScreenFixture {
protected:
    QString out;   // the guide's pictures
    QString shots; // every screen on the whole display
    QString home;
    bool started = false;

    void SetUp() override
    {
        out = qEnvironmentVariable("TOLVAN_GUIDE_SHOTS");
        shots = qEnvironmentVariable("TOLVAN_SCREEN_SHOTS");
        if ((out.isEmpty() && shots.isEmpty()) || qEnvironmentVariableIsEmpty("DISPLAY")) {
            GTEST_SKIP() << "run scripts/guide-screenshots.sh or scripts/screen-shots.sh to take screenshots";
        }
        started = true;
        ScreenFixture::SetUp();
        // The station folder as the program uses it: its path ends with "/".
        const QString station = tmp.path() + "/K1ABC/";
        QDir().mkpath(station);
        context.reset(
            new AppContext{ConfigStore(station), dialogs, speaker, desktop, processes, clock, context->locale});
        registry = std::make_unique<ScreenRegistry>(*context);
        registerAllScreens(*registry);
        MailPost::SetHandOverFolder(station);
        home = tmp.path() + "/home";
        QDir().mkpath(home);
        clock.time = QDateTime(QDate(2026, 12, 6), QTime(14, 30, 5));
        writeStore("soundsettings.dat", "0\r\n");
    }

    void TearDown() override
    {
        MailPost::SetHandOverFolder({});
        if (started && context) {
            ScreenFixture::TearDown();
        }
    }

    // Shows the screen, lets the window manager place it, saves its picture.
    void shoot(const QString& screen, const QString& file, const std::function<void(Screen*)>& fill = {})
    {
        Screen* s = registry->Show(screen);
        ASSERT_NE(s, nullptr) << screen.toStdString();
        if (fill) {
            fill(s);
        }
        ASSERT_TRUE(QTest::qWaitForWindowExposed(s));
        QTest::qWait(400);
        EXPECT_TRUE(s->grab().save(QDir(out).filePath(file))) << file.toStdString();
    }
    template <class T> T* field(Screen* s, const char* name) { return s->findChild<T*>(QString::fromLatin1(name)); }
    void setupStation()
    {
        ASSERT_TRUE(StandardFolders::Apply(context->store, StandardFolders::Plan(home)).ok());
        context->store.WriteStoreLine("direwolfpacket.dat", "/usr/bin/direwolf");
        context->store.WriteStoreLine("VARA.dat", home + "/.wine/drive_c/VARA/VARA.exe");
        context->store.WriteStoreLine("soundmodempacket.dat", "blank");
        context->store.WriteStoreLine("packet.dat", "blank");
        context->store.WriteStoreLine("terminalcall.dat", "K1ABC-1");
    }
    // A coded mail waiting in the receive folder; its line as written.
    QString placeIncomingMail()
    {
        const QString line =
            MailCodec::FormatCodedMailLine("K1ABC", "Field day", "See you there. 73", "W2XYZ") + QStringLiteral("\r\n");
        QFile incoming(home + "/TOLVAN/Receive/MAIL - 143005.txt");
        EXPECT_TRUE(incoming.open(QIODevice::WriteOnly));
        incoming.write(line.toLatin1());
        return line;
    }
};

} // namespace

TEST_F(GuideScreens, EveryScreenOfTheGuide)
{
    if (out.isEmpty()) {
        GTEST_SKIP() << "the guide's pictures were not asked for";
    }
    shoot("ENTER", "guide-enter-first.png");
    registry->Unload("ENTER");
    shoot("DIRCHANGE", "guide-setup.png");
    registry->Unload("DIRCHANGE");
    setupStation();

    shoot("ENTER", "guide-enter.png");
    click("ENTER", "Command3");
    shoot("mainmenu", "guide-mainmenu-first.png");
    registry->Unload("mainmenu");
    flush();

    shoot("frsettings", "guide-settings.png");
    registry->Unload("frsettings");
    for (const char* hidden : {"chksoundtoggle", "testprogram"}) {
        registry->setControlVisible("mainmenu", hidden, false);
    }
    shoot("mainmenu", "guide-mainmenu.png");
    registry->Unload("mainmenu");
    flush();

    shoot("frmdecide", "guide-chooser.png");
    registry->Unload("frmdecide");
    shoot("mailform", "guide-compose.png", [this](Screen* s) {
        field<QLineEdit>(s, "Text3")->setText("W2XYZ");
        field<QLineEdit>(s, "Text4")->setText("K1ABC");
        field<QLineEdit>(s, "Text2")->setText("Field day");
        field<QPlainTextEdit>(s, "Text1")->setPlainText("Meet at the club station at 0900.\nBring the 2 m antenna.");
    });
    registry->Unload("mailform");
    registry->Unload("PACKETWINLINK");
    flush();

    // A mail waiting in the receive folder.
    const QString line = placeIncomingMail();
    shoot("received", "guide-received.png");
    registry->Unload("received");
    flush();

    ASSERT_TRUE(MailPost::WriteHandOver(MailPost::kMailHandOver, line.trimmed()).ok());
    shoot("inboxform", "guide-inbox.png");
    registry->Unload("inboxform");
    flush();

    shoot("saveform", "guide-saved.png");
    registry->Unload("saveform");
    shoot("sendfile", "guide-sendfile.png");
    registry->Unload("sendfile");
    shoot("frm7Plus", "guide-7plus.png");
    registry->Unload("frm7Plus");
    shoot("PACKETWINLINK", "guide-center.png");
    registry->Unload("PACKETWINLINK");
    flush();
}

// Each screen alone on the display, as the operator's monitor shows it: the
// window lies wholly on the display and the picture shows what is cut off.
TEST_F(GuideScreens, EveryScreenOnTheDisplay)
{
    if (shots.isEmpty()) {
        GTEST_SKIP() << "the display pictures were not asked for";
    }
    setupStation();
    const QString line = placeIncomingMail();
    ASSERT_TRUE(MailPost::WriteHandOver(MailPost::kMailHandOver, line.trimmed()).ok());
    ASSERT_TRUE(MailPost::WriteHandOver(MailPost::kReaderHandOver,
                                        QStringLiteral("TO: K1ABC,SUBJECT: Field day,See you, 73,FROM: W2XYZ"))
                    .ok());

    QScreen* display = QGuiApplication::primaryScreen();
    const QRect area = display->availableGeometry();
    QStringList names = registry->names();
    names.sort();
    for (const QString& name : names) {
        Screen* s = registry->Show(name);
        ASSERT_NE(s, nullptr) << name.toStdString();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(s));
        QTest::qWait(400);
        EXPECT_TRUE(area.contains(s->frameGeometry()))
            << name.toStdString() << " lies outside the display: " << s->frameGeometry().width() << "x"
            << s->frameGeometry().height();
        // A few colours are enough for a screen of controls, and keep the file small.
        const QImage picture = display->grabWindow(0).toImage().convertToFormat(QImage::Format_Indexed8);
        EXPECT_TRUE(picture.save(QDir(shots).filePath(name + ".png"))) << name.toStdString();
        registry->Unload(name);
        flush();
    }
}

// The terminal's window, maximised on the display, at its first start and
// then each page once: at
// 1366x768 as guide-terminal-<page>.png, on any other display with its width
// added (guide-terminal-<page>-1024.png), to see the layout on small screens.
TEST_F(GuideScreens, TheTerminalWindow)
{
    if (out.isEmpty()) {
        GTEST_SKIP() << "the guide's pictures were not asked for";
    }
    setupStation();
    const QString size = QGuiApplication::primaryScreen()->size().width() == 1366
                             ? QString()
                             : QStringLiteral("-%1").arg(QGuiApplication::primaryScreen()->size().width());
    {
        // The first start: no call sign yet, and the window says where it goes.
        QFile::remove(QDir(context->store.programFolder()).filePath(QStringLiteral("terminalcall.dat")));
        TerminalRuntime first(context->store.programFolder(), TerminalOptions{});
        TerminalWindow window(first, speaker, QLocale(QLocale::English, QLocale::UnitedStates));
        const Result<> started = first.start();
        ASSERT_FALSE(started.ok());
        window.notStarted(started.error());
        window.showMaximized();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        QTest::qWait(300);
        EXPECT_TRUE(window.grab().save(QDir(out).filePath(QStringLiteral("guide-terminal-first%1.png").arg(size))));
    }
    context->store.WriteStoreLine("terminalcall.dat", "K1ABC-1");
    context->store.WriteStoreLine("allowedcalls.dat", "W2XYZ,N0BBB");
    context->store.WriteStoreLine("tncport.dat", "8000");
    TerminalRuntime runtime(context->store.programFolder(), TerminalOptions{});
    TerminalWindow window(runtime, speaker, QLocale(QLocale::English, QLocale::UnitedStates));
    ASSERT_TRUE(runtime.start().ok());
    window.showMaximized();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QTest::qWait(300);
    // What a working afternoon looks like, as the engine tells it.
    for (const char* json : {
             R"({"event":"tnc-connected","host":"127.0.0.1","port":8000})",
             R"({"event":"calling","peer":"W2XYZ"})",
             R"({"event":"connected","peer":"W2XYZ","direction":"out"})",
             R"({"event":"file-sent","to":"W2XYZ","name":"MAIL - K1ABC143005--12-06-26.txt","bytes":1234,"seconds":12})",
             R"({"event":"disconnected","peer":"W2XYZ","reason":"done"})",
             R"({"event":"connected","peer":"N0BBB","direction":"in"})",
             R"({"event":"file-received","from":"N0BBB","name":"FIELDDAY.P01","bytes":5120,"resumed_from":0})",
             R"({"event":"retry","to":"W3QRP-2","attempt":2,"wait_seconds":120,"reason":"no answer"})",
             R"({"event":"queue","paused":false,"destinations":[{"to":"W3QRP-2","files":["MAIL - K1ABC150110.txt",)"
             R"("PHOTO.P01","PHOTO.P02"],"bytes":14880,"next_try":"2026-12-06T15:12:00","given_up":false},)"
             R"({"to":"W2XYZ","files":["LOG.ADI"],"bytes":5000,"next_try":"","given_up":false}]})",
             R"({"event":"file-started","direction":"out","peer":"W2XYZ","name":"LOG.ADI","total":5000,"resumed_from":0})",
             R"({"event":"progress","direction":"out","peer":"W2XYZ","name":"LOG.ADI","done":2150,"total":5000,)"
             R"("bytes_per_second":41.5})",
             R"({"event":"chat-connected","peer":"N0BBB","direction":"out"})",
             R"({"event":"chat-line","peer":"N0BBB","direction":"out","text":"Good afternoon, are you on for the net?"})",
             R"({"event":"chat-line","peer":"N0BBB","direction":"in","text":"Yes, at 1900. Bring the log. 73"})",
         }) {
        window.onEvent(QJsonDocument::fromJson(json).object());
    }
    auto* tabs = window.findChild<QTabWidget*>("tabs");
    for (const char* page : {"files", "conversation", "settings"}) {
        if (QLatin1String(page) == QLatin1String("settings")) {
            tabs->setCurrentIndex(2);
            window.findChild<QLineEdit*>("txtPort")->setText("80000");
        } else {
            tabs->setCurrentIndex(QLatin1String(page) == QLatin1String("files") ? 0 : 1);
        }
        QTest::qWait(300);
        const QString file = QStringLiteral("guide-terminal-%1%2.png").arg(QLatin1String(page), size);
        EXPECT_TRUE(window.grab().save(QDir(out).filePath(file))) << file.toStdString();
    }
    runtime.stop();
}
