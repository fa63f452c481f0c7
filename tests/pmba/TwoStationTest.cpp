// Two stations on one machine, each with its own program folder and working
// folder: station A posts a mail, a PMBA mail and a regular file mail from its
// screens; the files are carried into station B's receive folder as a packet
// program would; B's folder monitor notices them and routing hands each one on.

#include "PmbaTestUtil.h"
#include "mail/MailCodec.h"
#include "monitor/ReceiveRouting.h"
#include "monitor/filemonitors.h"
#include "monitor/fileoperation.h"
#include "platform/fake/FakePlatform.h"
#include "pmba/FileMail.h"
#include "shell/AppContext.h"
#include "shell/ScreenRegistry.h"
#include "shell/Screens.h"
#include "shell/TextBoxes.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

using namespace tolvan;

namespace {

struct Station {
    QString root;
    FakeDialogs dialogs;
    FakeSpeaker speaker;
    FakeDesktop desktop;
    FakeProcesses processes;
    FakeClock clock;
    std::unique_ptr<AppContext> context;
    std::unique_ptr<ScreenRegistry> registry;

    explicit Station(const QString& folder)
        : root(folder)
    {
        for (const char* sub : {"/prog", "/work", "/send", "/receive", "/save"}) {
            QDir().mkpath(root + sub);
        }
        LocaleText locale(QLocale(QLocale::English, QLocale::UnitedStates));
        locale.setDateSeparator("-");
        context.reset(new AppContext{ConfigStore(root + "/prog"), dialogs, speaker, desktop, processes, clock,
                                     locale});
        context->store.WriteStoreLine("send.dat", root + "/send");
        context->store.WriteStoreLine("receive.dat", root + "/receive");
        context->store.WriteStoreLine("save.dat", root + "/save");
        registry = std::make_unique<ScreenRegistry>(*context);
        registerAllScreens(*registry);
    }
    ~Station()
    {
        registry.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // The process has one working folder; each station works in its own.
    void enter() { QDir::setCurrent(root + "/work"); }

    template <class T>
    T* control(const QString& screen, const QString& name)
    {
        Screen* s = registry->loaded(screen);
        return s ? s->findChild<T*>(name) : nullptr;
    }
    void click(const QString& screen, const QString& name)
    {
        control<QAbstractButton>(screen, name)->click();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
};

class TwoStations : public ::testing::Test {
protected:
    QTemporaryDir tmp;
    QString previousCurrent = QDir::currentPath();

    void TearDown() override { QDir::setCurrent(previousCurrent); }
};

} // namespace

TEST_F(TwoStations, MailAndFilesArriveUnchanged)
{
    Station a(tmp.path() + "/A");
    Station b(tmp.path() + "/B");

    // Station B watches its receive folder before anything arrives.
    b.enter();
    QTimer tick;
    filemonitors monitor;
    monitor.FolderPath = b.root + "/receive";
    monitor.SetTimerControl(&tick);
    monitor.QuietPeriod = std::chrono::milliseconds(0);
    ASSERT_TRUE(monitor.StartMonitoring().ok());
    int arrivals = 0;
    QObject::connect(&monitor, &filemonitors::FileReceived, [&] { ++arrivals; });

    // Station A: a mail from the compose screen.
    a.enter();
    a.registry->Show("mailform");
    a.control<QLineEdit>("mailform", "Text3")->setText("To: sm0abc");
    a.control<QLineEdit>("mailform", "Text2")->setText("Subject: net, tonight");
    setBoxText(a.control<QPlainTextEdit>("mailform", "Text1"), "Grüße from A,\r\nsee you at 20:00");
    a.control<QLineEdit>("mailform", "Text4")->setText("From- la1xyz");
    a.click("mailform", "Command1");

    // A PMBA mail and a regular file mail from the send file screen.
    QByteArray picture;
    for (int i = 0; i < 70000; ++i) {
        picture.append(static_cast<char>((i * 7 + i / 256) & 0xFF));
    }
    const QString picturePath = a.root + "/picture.png";
    ASSERT_TRUE(test::writeAll(picturePath, picture));
    a.registry->Show("sendfile");
    a.dialogs.fileAnswers.enqueue(picturePath);
    a.click("sendfile", "cmdPMBA");
    a.control<QLineEdit>("sendfile", "Text3")->setText("TO: SM0ABC");
    a.control<QLineEdit>("sendfile", "Text1")->setText("Message: the map, as promised");
    a.click("sendfile", "cmdPMBASend");

    const QByteArray log = "line 1\r\nline 2\r\n\x01\xFE";
    ASSERT_TRUE(test::writeAll(a.root + "/log.txt", log));
    a.registry->Show("sendfile");
    a.control<QLineEdit>("sendfile", "Text5")->setText(a.root + "/log.txt");
    a.click("sendfile", "Command1");

    const QStringList outgoing = fileoperation::ListedFiles(a.root + "/send");
    ASSERT_EQ(outgoing, (QStringList{"File - 14-35-07--12-05-26.txt", "MAIL - From- la1xyz--14-35-07--12-05-26.dat",
                                     "PMBA - 14-35-07--12-05-26.pmb"}))
        << a.dialogs.texts().join("|").toStdString();

    // The packet programs carry the files across.
    for (const QString& name : outgoing) {
        ASSERT_TRUE(QFile::rename(a.root + "/send/" + name, b.root + "/receive/" + name));
    }

    // Station B: the monitor notices the arrivals within one tick.
    b.enter();
    monitor.TimerScan_Timer();
    EXPECT_EQ(arrivals, 1);
    const ReceiveRouting::Paths paths = ReceiveRouting::DefaultPaths(b.context->store);

    const ReceiveRouting::Route mail =
        ReceiveRouting::RouteIncoming(b.context->store, "MAIL - From- la1xyz--14-35-07--12-05-26.dat", paths);
    ASSERT_EQ(mail.outcome, ReceiveRouting::Route::Outcome::Mail);
    EXPECT_TRUE(mail.deleteIncoming);
    const MailCodec::ParsedMail shown = MailCodec::ParseCodedMail(QString::fromLatin1(test::readAll(paths.mailDat)));
    ASSERT_EQ(shown.status, MailCodec::ParsedMail::Status::Ok);
    // A mail travels in capitals.
    EXPECT_EQ(shown.fields.to, "TO: SM0ABC");
    EXPECT_EQ(shown.fields.subject, "SUBJECT: NET, TONIGHT");
    EXPECT_EQ(shown.fields.message, QString::fromUtf8("GRÜßE FROM A,\r\nSEE YOU AT 20:00"));
    EXPECT_EQ(shown.fields.from, "FROM- LA1XYZ");

    const ReceiveRouting::Route pmba =
        ReceiveRouting::RouteIncoming(b.context->store, "PMBA - 14-35-07--12-05-26.pmb", paths);
    ASSERT_EQ(pmba.outcome, ReceiveRouting::Route::Outcome::Pmba);
    // PMBA texts travel as typed.
    EXPECT_EQ(pmba.pmba.to, "TO: SM0ABC");
    EXPECT_EQ(pmba.pmba.from, "From:");
    EXPECT_EQ(pmba.pmba.subject, "Subject:");
    EXPECT_EQ(pmba.pmba.message, "Message: the map, as promised");
    EXPECT_EQ(pmba.pmba.attachmentPath, b.root + "/prog/PMBA-Binary-Received/picture.png");
    EXPECT_EQ(test::readAll(pmba.pmba.attachmentPath), picture);

    const ReceiveRouting::Route file =
        ReceiveRouting::RouteIncoming(b.context->store, "File - 14-35-07--12-05-26.txt", paths);
    ASSERT_EQ(file.outcome, ReceiveRouting::Route::Outcome::FileMail);
    const Result<FileMail::Mail> carried = FileMail::Read(paths.attachmentHandOver);
    ASSERT_TRUE(carried.ok());
    EXPECT_EQ(carried->to, "TO:");
    EXPECT_EQ(carried->fileName, "log.txt");
    EXPECT_EQ(carried->data, log);
    const Result<FileMail::SavedFile> saved = FileMail::SaveCarriedFile(carried.value(), b.root + "/save", false);
    ASSERT_TRUE(saved.ok());
    EXPECT_EQ(saved->status, FileMail::SavedFile::Status::Saved);
    EXPECT_EQ(test::readAll(saved->path), log);
}

// A file too big for one mail: station A encodes 100 kB on its 7PLUS screen;
// the four parts reach station B one by one, out of order. B's received
// screen shows the set growing, and reading a part of the whole set rebuilds
// the file byte for byte beside the parts.
TEST_F(TwoStations, SevenPlusSetArrivesPartByPartAndDecodes)
{
    Station a(tmp.path() + "/A");
    Station b(tmp.path() + "/B");
    QByteArray photo;
    for (int i = 0; i < 100000; ++i) {
        photo.append(static_cast<char>((i * 31 + i / 97) & 0xFF));
    }
    ASSERT_TRUE(test::writeAll(a.root + "/photo.jpg", photo));

    a.enter();
    a.registry->Show("frm7Plus");
    a.control<QLineEdit>("frm7Plus", "txt7PlusFile")->setText(a.root + "/photo.jpg");
    a.click("frm7Plus", "cmdEncode7Plus");
    const QString out = a.root + "/7PLUS_OUTPUT/";
    ASSERT_EQ(QDir(out).entryList(QDir::Files), (QStringList{"PHOTO.P01", "PHOTO.P02", "PHOTO.P03", "PHOTO.P04"}));

    b.enter();
    b.context->receiveWatch.quietPeriod = std::chrono::milliseconds(0);
    b.registry->Show("received");
    const auto lines = [&] {
        QStringList shown;
        auto* list = b.control<QListWidget>("received", "lst7PlusSets");
        for (int i = 0; list && i < list->count(); ++i) {
            shown << list->item(i)->text();
        }
        return shown;
    };
    const QString line = QString::fromUtf8("PHOTO.JPG \u2014 %1 of 4 parts, %2");
    const struct {
        const char* part;
        QString shown;
    } steps[] = {
        {"PHOTO.P02", line.arg(1).arg("waiting for 1, 3 and 4")},
        {"PHOTO.P04", line.arg(2).arg("waiting for 1 and 3")},
        {"PHOTO.P01", line.arg(3).arg("waiting for 3")},
        {"PHOTO.P03", line.arg(4).arg("complete")},
    };
    for (const auto& step : steps) {
        ASSERT_TRUE(QFile::rename(out + step.part, b.root + "/receive/" + step.part));
        fileoperation::ReceiveMonitor()->TimerScan_Timer();
        EXPECT_EQ(lines(), QStringList{step.shown}) << step.part;
    }
    EXPECT_EQ(b.speaker.spoken.last(), "7PLUS file PHOTO.JPG has arrived complete");

    auto* files = b.control<QListWidget>("received", "File1");
    files->setCurrentItem(files->findItems("PHOTO.P03", Qt::MatchExactly).first());
    b.dialogs.answers.enqueue(MsgAnswer::Yes); // remove the parts
    b.click("received", "Command2");
    QFile decoded(b.root + "/receive/7PLUS_RECEIVED/PHOTO.JPG");
    ASSERT_TRUE(decoded.open(QIODevice::ReadOnly));
    EXPECT_TRUE(decoded.readAll() == photo);
    EXPECT_EQ(fileoperation::ListedFiles(b.root + "/receive"), QStringList());
    fileoperation::ReleaseReceiveMonitor();
}
