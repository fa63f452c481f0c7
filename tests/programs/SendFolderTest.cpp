#include "config/ConfigStore.h"
#include "programs/SendFolder.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace tolvan;

namespace {

class SendFolderTest : public ::testing::Test {
protected:
    QTemporaryDir tmp;
    ConfigStore store{tmp.path() + QStringLiteral("/prog")};
    QString send;

    void SetUp() override
    {
        ASSERT_TRUE(tmp.isValid());
        QDir().mkpath(tmp.path() + "/prog");
        send = tmp.path() + "/send";
        QDir().mkpath(send);
    }

    void touch(const QString& path)
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
        f.write("mail");
    }
    void storeSendFolder(const QByteArray& line)
    {
        QFile f(store.StorePath(SendFolder::kSendFile));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(line);
    }
    static QStringList files(const QString& folder)
    {
        return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    }
};

} // namespace

TEST_F(SendFolderTest, DeleteAllRemovesOnlyTheOrdinaryFilesDirectlyInTheFolder)
{
    touch(send + "/MAIL1.txt");
    touch(send + "/File - 120000 12-05-26.txt");
    touch(send + "/.hidden");
    QDir().mkpath(send + "/sub");
    touch(send + "/sub/kept.txt");
    storeSendFolder(send.toUtf8() + "\r\n");

    const Result<SendFolder::DeleteAllPlan> plan = SendFolder::PlanDeleteAll(store);
    ASSERT_TRUE(plan.ok());
    EXPECT_EQ(plan->folder, send);
    ASSERT_TRUE(plan->question);
    EXPECT_TRUE(plan->question->text.contains("Delete all 2 files in the send folder " + send + "?"));
    // A mail that arrives while the question is open is not deleted unasked.
    touch(send + "/MAIL2.txt");

    const SendFolder::DeleteOutcome o = SendFolder::DeleteAllFiles(plan->folder, plan->names);
    ASSERT_EQ(o.boxes.size(), 1);
    EXPECT_EQ(o.boxes[0].text, "All files in the directory have been deleted.");
    EXPECT_EQ(o.boxes[0].icon, MsgIcon::Information);
    EXPECT_EQ(files(send), (QStringList{".hidden", "MAIL2.txt", "sub"}));
    EXPECT_TRUE(QFile::exists(send + "/sub/kept.txt"));
}

// A folder name with a comma: the folder that is listed is the one emptied,
// never the folder named by the text before the comma.
TEST_F(SendFolderTest, DeleteAllEmptiesTheListedFolderEvenWithACommaInItsName)
{
    const QString comma = send + ",outgoing";
    QDir().mkpath(comma);
    touch(comma + "/MAIL1.txt");
    touch(send + "/keep.txt");
    storeSendFolder(comma.toUtf8() + "\r\n");

    const Result<SendFolder::DeleteAllPlan> plan = SendFolder::PlanDeleteAll(store);
    ASSERT_TRUE(plan.ok());
    EXPECT_EQ(plan->folder, SendFolder::ListedFolder(store));
    SendFolder::DeleteAllFiles(plan->folder, plan->names);
    EXPECT_TRUE(files(comma).isEmpty());
    EXPECT_EQ(files(send), QStringList{"keep.txt"});
}

namespace {

struct Refusal {
    const char* name;
    std::optional<QByteArray> stored; // none: no send.dat
    const char* text;                 // start of the one box shown
};

class DeleteAllRefusal : public SendFolderTest, public ::testing::WithParamInterface<Refusal> {};

} // namespace

// Without a usable send folder nothing is deleted anywhere: not in the working
// folder, not at the top of the file system, not beside the program.
TEST_P(DeleteAllRefusal, DeletesNothing)
{
    const Refusal& r = GetParam();
    if (r.stored) {
        QByteArray line = *r.stored;
        line.replace("$TMP", tmp.path().toUtf8());
        storeSendFolder(line);
    }
    touch(send + "/MAIL1.txt");
    touch(tmp.path() + "/outside.txt");

    const Result<SendFolder::DeleteAllPlan> plan = SendFolder::PlanDeleteAll(store);
    EXPECT_FALSE(plan.ok());
    EXPECT_TRUE(plan->folder.isEmpty());
    ASSERT_TRUE(plan.box());
    EXPECT_TRUE(plan.box()->text.startsWith(QString::fromLatin1(r.text))) << plan.box()->text.toStdString();
    EXPECT_EQ(plan.box()->icon, MsgIcon::Critical);
    EXPECT_TRUE(QFile::exists(send + "/MAIL1.txt"));
    EXPECT_TRUE(QFile::exists(tmp.path() + "/outside.txt"));
}

INSTANTIATE_TEST_SUITE_P(
    SendFolder, DeleteAllRefusal,
    ::testing::Values(Refusal{"NoSendDat", std::nullopt, "Unexpected error: File not found: "},
                      Refusal{"EmptyFile", QByteArray(), "Unexpected error: "},
                      Refusal{"EmptyLine", QByteArray("\r\n"), "Error deleting files: No send folder is set."},
                      Refusal{"Blanks", QByteArray("   \r\n"), "Error deleting files: No send folder is set."},
                      Refusal{"Relative", QByteArray("send\r\n"), "Error deleting files: \"send\" is not the full"},
                      Refusal{"Missing", QByteArray("$TMP/gone\r\n"), "Error deleting files: The send folder \""},
                      Refusal{"AFile", QByteArray("$TMP/outside.txt\r\n"), "Error deleting files: The send folder"}),
    [](const auto& info) { return std::string(info.param.name); });
