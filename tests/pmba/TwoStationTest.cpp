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
        context.reset(new AppContext{ConfigStore(root + "/prog"), &dialogs, &speaker, &desktop, &processes, &clock,
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
    ASSERT_FALSE(monitor.StartMonitoring().has_value());
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
    const FileMail::ReadResult carried = FileMail::Read(paths.attachmentHandOver);
    ASSERT_TRUE(carried.ok);
    EXPECT_EQ(carried.mail.to, "TO:");
    EXPECT_EQ(carried.mail.fileName, "log.txt");
    EXPECT_EQ(carried.mail.data, log);
    const FileMail::SaveResult saved = FileMail::SaveCarriedFile(carried.mail, b.root + "/save", false);
    ASSERT_TRUE(saved.ok());
    EXPECT_EQ(test::readAll(saved.path), log);
}
