#include "config/ConfigStore.h"
#include "mail/KnownAddresses.h"
#include "mail/MailPost.h"
#include "platform/LocaleText.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace tolvan;

namespace {

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Every entry of a folder, hidden temporary files included.
QStringList everything(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

class MailPostTest : public ::testing::Test {
public:
    QTemporaryDir tmp;
    QString program;
    QString send;
    std::unique_ptr<ConfigStore> store;
    LocaleText locale{QLocale(QLocale::English, QLocale::UnitedStates)};
    QDateTime now{QDate(2026, 12, 5), QTime(14, 35, 7)};

    void SetUp() override
    {
        program = tmp.path() + "/prog";
        send = tmp.path() + "/send";
        QDir().mkpath(program);
        QDir().mkpath(send);
        locale.setDateSeparator("-");
        store = std::make_unique<ConfigStore>(program);
        setSendLine(send);
    }
    void setSendLine(const QString& line) { ASSERT_TRUE(store->WriteStoreLine("send.dat", line).ok()); }
};

MailCodec::MailFields mail(const QString& from = "From- OPERATOR")
{
    return {"To: A", "Subject: S", "Line one\r\nLine two", from};
}

} // namespace

TEST_F(MailPostTest, PostWritesTheCodedLineAndAnIdenticalSentCopy)
{
    const Result<MailPost::Posted> r = MailPost::PostComposedMail(*store, now, locale, mail());
    ASSERT_TRUE(r.ok()) << r.error().toStdString();
    EXPECT_EQ(r->path, send + "/MAIL - From- OPERATOR--14-35-07--12-05-26.dat");
    EXPECT_EQ(r->copyPath, program + "/SentMail/MAIL - From- OPERATOR--14-35-07--12-05-26.dat");
    const QByteArray line = "84 79 58 32 65,83 85 66 74 69 67 84 58 32 83,"
                            "76 73 78 69 32 79 78 69 13 10 76 73 78 69 32 84 87 79,"
                            "70 82 79 77 45 32 79 80 69 82 65 84 79 82\r\n";
    EXPECT_EQ(readAll(r->path), line);
    EXPECT_EQ(readAll(r->copyPath), line);
    // Nothing but the mail itself in the send folder: no temporary file stays.
    EXPECT_EQ(everything(send), QStringList{"MAIL - From- OPERATOR--14-35-07--12-05-26.dat"});
}

TEST_F(MailPostTest, SecondPostInTheSameSecondAppendsAndTheCopyFollows)
{
    ASSERT_TRUE(MailPost::PostComposedMail(*store, now, locale, mail()).ok());
    const QByteArray first = readAll(send + "/MAIL - From- OPERATOR--14-35-07--12-05-26.dat");
    MailCodec::MailFields second = mail();
    second.to = "To: B";
    const Result<MailPost::Posted> r = MailPost::PostComposedMail(*store, now, locale, second);
    ASSERT_TRUE(r.ok()) << r.error().toStdString();
    EXPECT_TRUE(r->appended);
    const QByteArray both = readAll(r->path);
    EXPECT_TRUE(both.startsWith(first));
    EXPECT_EQ(both.count("\r\n"), 2);
    EXPECT_EQ(readAll(r->copyPath), both);
}

TEST_F(MailPostTest, SendFolderWithTrailingSlashAndUnsafeFromText)
{
    setSendLine(send + "/");
    const Result<MailPost::Posted> r = MailPost::PostComposedMail(*store, now, locale, mail("A/B:C"));
    ASSERT_TRUE(r.ok()) << r.error().toStdString();
    EXPECT_TRUE(QFile::exists(send + "/MAIL - A-B-C--14-35-07--12-05-26.dat"));
}

struct PostFailure {
    const char* name;
    std::function<void(MailPostTest&, MailCodec::MailFields&)> arrange;
    const char* cause; // a piece of the message that names the cause
};

class MailPostFailureTest : public MailPostTest, public ::testing::WithParamInterface<PostFailure> {};

TEST_P(MailPostFailureTest, NothingIsLeftBehindAndTheCauseIsNamed)
{
    MailCodec::MailFields fields = mail();
    GetParam().arrange(*this, fields);
    const QStringList before = everything(send);
    QByteArray waiting;
    if (!before.isEmpty()) {
        waiting = readAll(send + "/" + before.first());
    }

    const Result<MailPost::Posted> r = MailPost::PostComposedMail(*store, now, locale, fields);
    EXPECT_FALSE(r.ok());
    EXPECT_TRUE(r.error().contains(QString::fromUtf8(GetParam().cause))) << r.error().toStdString();
    EXPECT_EQ(everything(send), before);
    if (!before.isEmpty()) {
        EXPECT_EQ(readAll(send + "/" + before.first()), waiting);
    }
}

INSTANTIATE_TEST_SUITE_P(
    MailPost, MailPostFailureTest,
    ::testing::Values(
        PostFailure{"NoSendDat", [](MailPostTest& t, auto&) { QFile::remove(t.store->StorePath("send.dat")); },
                    "send.dat was not found"},
        PostFailure{"EmptySendDat", [](MailPostTest& t, auto&) { t.setSendLine(""); }, "holds no send folder"},
        PostFailure{"MissingFolder", [](MailPostTest& t, auto&) { t.setSendLine(t.tmp.path() + "/gone"); },
                    "does not exist"},
        PostFailure{"FolderLineWithSpaces", [](MailPostTest& t, auto&) { t.setSendLine(" " + t.send + " "); },
                    "does not exist"},
        PostFailure{"NameTooLong", [](MailPostTest&, auto& m) { m.from = QString(300, u'x'); },
                    "could not be created"},
        PostFailure{"MessageTooLong", [](MailPostTest&, auto& m) { m.message = QString(32768, u'x'); },
                    "Message field holds 32,768 characters; a mail field can hold at most 32,767"},
        PostFailure{"ToTooLong", [](MailPostTest&, auto& m) { m.to = QString(40000, u'x'); }, "To field"},
        PostFailure{"SentMailIsAFile",
                    [](MailPostTest& t, auto&) {
                        QFile f(t.program + "/SentMail");
                        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
                    },
                    "not a folder"},
        PostFailure{"SentCopyCannotBeWritten",
                    [](MailPostTest& t, auto&) {
                        // A folder where the copy should go makes the copy fail after the mail was written.
                        QDir().mkpath(t.program + "/SentMail/MAIL - From- OPERATOR--14-35-07--12-05-26.dat");
                    },
                    "sent copy could not be written"},
        PostFailure{"SentCopyFailsAfterAnAppend",
                    [](MailPostTest& t, auto&) {
                        ASSERT_TRUE(MailPost::PostComposedMail(*t.store, t.now, t.locale, mail()).ok());
                        const QString copy = t.program + "/SentMail/MAIL - From- OPERATOR--14-35-07--12-05-26.dat";
                        QFile::remove(copy);
                        QDir().mkpath(copy);
                    },
                    "sent copy could not be written"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(MailPostOutbox, QuestionDefaultsToNoAndNamesTheFiles)
{
    const MessageBoxRequest q = MailPost::OutboxQuestion("/s", {"a.dat", "b.dat"});
    EXPECT_EQ(q.buttons, MsgButtons::YesNo);
    EXPECT_EQ(q.defaultButton, MsgAnswer::No);
    EXPECT_EQ(q.icon, MsgIcon::Question);
    EXPECT_TRUE(q.text.contains("a.dat\nb.dat"));
    EXPECT_TRUE(q.text.contains("2 file(s)"));
}

// The To and From boxes complete from the addresses in the sent copies and
// the saved mails, newest first, each once, spelled as written.
TEST_F(MailPostTest, KnownAddressesNewestFirstWithoutDuplicates)
{
    const QString sent = MailPost::SentMailFolder(*store);
    const QString saved = tmp.path() + "/saved";
    QDir().mkpath(sent);
    QDir().mkpath(saved);
    ASSERT_TRUE(store->WriteStoreLine("save.dat", saved).ok());
    struct File {
        QString path;
        QByteArray text;
        int minutesAgo;
    };
    const File files[] = {
        {sent + "/MAIL old", MailCodec::FormatCodedMailLine("k1abc", "S", "M", "DL2XYZ").toLatin1() + "\r\n", 30},
        {saved + "/mail_1.dat", "To: G4ABC@GB7XYZ,Subject,Body,From: dl2xyz\r\n", 20},
        {sent + "/MAIL new", MailCodec::FormatCodedMailLine("TO-", "S", "M", "From- PA3XYZ").toLatin1() + "\r\n", 10},
        {saved + "/mail_2.dat", "", 5}, // empty: nothing to learn
    };
    const QDateTime now = QDateTime::currentDateTime();
    for (const File& f : files) {
        QFile out(f.path);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(f.text);
        out.close();
        ASSERT_TRUE(out.open(QIODevice::ReadWrite));
        out.setFileTime(now.addSecs(-60 * f.minutesAgo), QFileDevice::FileModificationTime);
    }
    // The coded copies hold their fields upper-cased; the saved text as typed.
    EXPECT_EQ(KnownAddresses::Collect(*store), (QStringList{"FROM- PA3XYZ", "To: G4ABC@GB7XYZ", "From: dl2xyz",
                                                            "K1ABC", "DL2XYZ"}));
    EXPECT_EQ(KnownAddresses::Collect(*store, 2), (QStringList{"FROM- PA3XYZ", "To: G4ABC@GB7XYZ"}));
    // Nothing of its own is written.
    EXPECT_EQ(everything(program), QStringList{"SentMail"});
}
