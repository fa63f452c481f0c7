#include "config/FolderLists.h"
#include "config/DIRCHANGESections.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace tolvan;
using namespace tolvan::FolderLists;

namespace {

QByteArray readBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void touch(const QString& path)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
}

class FolderListsTest : public ::testing::Test {
protected:
    QTemporaryDir tmp;
    QString at(const QString& rel) const { return tmp.path() + u'/' + rel; }
    void SetUp() override { ASSERT_TRUE(tmp.isValid()); }
};

} // namespace

TEST(DriveOrder, RootFirstThenHomeThenReadyVolumesWithoutPseudoFileSystems)
{
    const QList<Volume> volumes = {
        {"/media/usb", "vfat", true},
        {"/", "ext4", true},
        {"/run/user/0", "tmpfs", true},
        {"/snap/core/1", "squashfs", true},
        {"/var/lib/docker/x", "overlay", true},
        {"/mnt/nas", "nfs", false},
        {"/home/op", "ext4", true},
        {"/data/", "xfs", true},
    };
    EXPECT_EQ(orderDrives(volumes, "/home/op"), (QStringList{"/", "/home/op", "/media/usb", "/data"}));
    EXPECT_EQ(orderDrives({}, QString()), QStringList{"/"});
}

TEST(DriveOrder, DriveOfAPathIsTheDeepestDriveHoldingIt)
{
    const QStringList drives = {"/", "/home/op", "/media/usb"};
    EXPECT_EQ(driveOf("/home/op/radio", drives), "/home/op");
    EXPECT_EQ(driveOf("/home/op", drives), "/home/op");
    EXPECT_EQ(driveOf("/home/operator", drives), "/"); // a shared prefix is not a parent
    EXPECT_EQ(driveOf("/media/usb/x", drives), "/media/usb");
    EXPECT_EQ(driveOf("/etc", drives), "/");
}

TEST(PathText, JoinCleanAndParent)
{
    EXPECT_EQ(joinPath("/", "MAIL SEND"), "/MAIL SEND");
    EXPECT_EQ(joinPath("/radio", "MAIL SEND"), "/radio/MAIL SEND");
    EXPECT_EQ(cleanFolder("/radio/pm/"), "/radio/pm");
    EXPECT_EQ(cleanFolder("/radio//pm/../x"), "/radio/x");
    EXPECT_EQ(cleanFolder("/"), "/");
    EXPECT_EQ(cleanFolder(""), "");
    EXPECT_EQ(parentFolder("/radio/pm"), "/radio");
    EXPECT_EQ(parentFolder("/radio"), "/");
    EXPECT_EQ(parentFolder("/"), "");
}

TEST_F(FolderListsTest, FolderTreeShowsTheChainDownToTheFolderThenItsSubfolders)
{
    ASSERT_TRUE(QDir().mkpath(at("radio/pm/b")));
    ASSERT_TRUE(QDir().mkpath(at("radio/pm/A")));
    ASSERT_TRUE(QDir().mkpath(at("radio/pm/.hidden")));
    touch(at("radio/pm/file.txt"));

    const QList<FolderEntry> tree = folderTree(at("radio/pm/"));
    const QString open = at("radio/pm");
    const int depth = static_cast<int>(open.count(u'/'));
    ASSERT_EQ(tree.size(), depth + 1 + 3);
    EXPECT_EQ(tree.first().path, "/");
    EXPECT_EQ(tree.first().name, "/");
    EXPECT_EQ(tree[depth].path, open);
    EXPECT_EQ(tree[depth].name, "pm");
    EXPECT_TRUE(tree[depth].open);
    EXPECT_EQ(tree[depth].depth, depth);
    QStringList children;
    for (int i = depth + 1; i < tree.size(); ++i) {
        EXPECT_FALSE(tree[i].open);
        EXPECT_EQ(tree[i].depth, depth + 1);
        EXPECT_EQ(tree[i].path, open + u'/' + tree[i].name);
        children << tree[i].name;
    }
    // Ordinary folders first, sorted without regard to case; hidden ones still reachable.
    EXPECT_EQ(children, (QStringList{"A", "b", ".hidden"}));
}

TEST_F(FolderListsTest, FilesAreTheOrdinaryFilesOnly)
{
    ASSERT_TRUE(QDir().mkpath(at("f/sub")));
    touch(at("f/wintnc.exe"));
    touch(at("f/Alpha.txt"));
    touch(at("f/.profile"));
    EXPECT_EQ(fileNames(at("f")), (QStringList{"Alpha.txt", "wintnc.exe"}));
    EXPECT_TRUE(fileNames(at("missing")).isEmpty());
    EXPECT_TRUE(folderTree(at("f/sub")).last().open); // no subfolders: the open folder ends the list
}

TEST_F(FolderListsTest, OnlyAnExistingFolderIsReadable)
{
    touch(at("plain"));
    EXPECT_TRUE(isReadableFolder(tmp.path()));
    EXPECT_FALSE(isReadableFolder(at("gone")));
    EXPECT_FALSE(isReadableFolder(at("plain")));
}

// What the section buttons write.

TEST_F(FolderListsTest, ProgramSectionStoresBlankOrTheFullPath)
{
    ConfigStore store(at("PM"));
    const Result<QString> none = DirSetup::storeProgramPath(store, "packet.dat", "/radio", "");
    EXPECT_TRUE(none.ok());
    EXPECT_EQ(none.value(), "blank");
    EXPECT_EQ(readBytes(store.StorePath("packet.dat")), "blank\r\n");

    const Result<QString> chosen = DirSetup::storeProgramPath(store, "packet.dat", "/radio", "wintnc.exe");
    EXPECT_EQ(chosen.value(), "/radio/wintnc.exe");
    EXPECT_EQ(readBytes(store.StorePath("packet.dat")), "/radio/wintnc.exe\r\n");

    // At the root the separator is added all the same; "//wintnc.exe" names "/wintnc.exe".
    EXPECT_EQ(DirSetup::storeProgramPath(store, "packet.dat", "/", "wintnc.exe").value(), "//wintnc.exe");
    EXPECT_EQ(readBytes(store.StorePath("packet.dat")), "//wintnc.exe\r\n");
}

TEST_F(FolderListsTest, FolderSectionStoresTheFolderAsShown)
{
    ConfigStore store(at("PM"));
    EXPECT_EQ(DirSetup::storeFolderPath(store, "send.dat", "/radio/MAIL, SEND").value(), "/radio/MAIL, SEND");
    EXPECT_EQ(readBytes(store.StorePath("send.dat")), "/radio/MAIL, SEND\r\n");
}

TEST_F(FolderListsTest, FailedWriteIsReportedWithTheLastGoodValueKept)
{
    ConfigStore store(at("PM"));
    // A folder where the store file belongs cannot be replaced.
    ASSERT_TRUE(QDir().mkpath(store.StorePath("winlink.dat")));
    const Result<QString> r = DirSetup::storeProgramPath(store, "winlink.dat", "/radio", "winlink.exe");
    EXPECT_FALSE(r.ok());
    EXPECT_FALSE(r.error().isEmpty());
}

TEST(SectionFolder, EmptyListFallsBackToTheProgramFolderWithSlash)
{
    EXPECT_EQ(DirSetup::sectionFolder("/radio", "/opt/pm"), "/radio");
    EXPECT_EQ(DirSetup::sectionFolder("", "/opt/pm"), "/opt/pm/");
    EXPECT_EQ(DirSetup::sectionFolder("", "/"), "/");
}

struct CreateCase {
    const char* name;
    const char* typed;
    DirSetup::CreateOutcome outcome;
    const char* made; // folder expected afterwards, relative to the parent; empty for none
};

class CreateFolderTest : public FolderListsTest, public ::testing::WithParamInterface<CreateCase> {};

TEST_P(CreateFolderTest, NameDecidesTheOutcome)
{
    ASSERT_TRUE(QDir().mkpath(at("radio/MAIL SAVE")));
    touch(at("radio/notes"));
    const CreateCase& c = GetParam();
    const QStringList before = QDir(at("radio")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    const QStringList parentBefore = QDir(tmp.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);

    const DirSetup::CreateResult r = DirSetup::createFolder(at("radio"), QString::fromUtf8(c.typed));
    EXPECT_EQ(r.outcome, c.outcome);
    const QStringList after = QDir(at("radio")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    if (c.outcome == DirSetup::CreateOutcome::Created) {
        EXPECT_EQ(r.path, at(QStringLiteral("radio/") + QString::fromUtf8(c.made)));
        EXPECT_TRUE(QFileInfo(r.path).isDir());
        EXPECT_EQ(after.size(), before.size() + 1);
    } else {
        EXPECT_EQ(after, before);
    }
    if (c.outcome == DirSetup::CreateOutcome::Exists) {
        EXPECT_EQ(r.path, at(QStringLiteral("radio/") + QString::fromUtf8(c.made)));
    }
    // Nothing ever lands outside the parent.
    EXPECT_EQ(QDir(tmp.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), parentBefore);
}

INSTANTIATE_TEST_SUITE_P(
    Names, CreateFolderTest,
    ::testing::Values(CreateCase{"Trimmed", " MAIL SEND ", DirSetup::CreateOutcome::Created, "MAIL SEND"},
                      CreateCase{"Empty", "", DirSetup::CreateOutcome::EmptyName, ""},
                      CreateCase{"OnlyBlanks", "   ", DirSetup::CreateOutcome::EmptyName, ""},
                      CreateCase{"ExistingFolder", "MAIL SAVE", DirSetup::CreateOutcome::Exists, "MAIL SAVE"},
                      CreateCase{"ExistingFile", "notes", DirSetup::CreateOutcome::Exists, "notes"},
                      CreateCase{"Dot", ".", DirSetup::CreateOutcome::BadName, ""},
                      CreateCase{"DotDot", " .. ", DirSetup::CreateOutcome::BadName, ""},
                      CreateCase{"Climbs", "../escaped", DirSetup::CreateOutcome::BadName, ""},
                      CreateCase{"Absolute", "/tmp/elsewhere", DirSetup::CreateOutcome::BadName, ""},
                      CreateCase{"Nested", "a/b", DirSetup::CreateOutcome::BadName, ""},
                      CreateCase{"DotsInName", "..mail..", DirSetup::CreateOutcome::Created, "..mail.."}),
    [](const ::testing::TestParamInfo<CreateCase>& info) { return std::string(info.param.name); });

TEST_F(FolderListsTest, CreatingInAMissingParentFailsWithTheSystemsReason)
{
    const DirSetup::CreateResult r = DirSetup::createFolder(at("gone"), "MAIL");
    EXPECT_EQ(r.outcome, DirSetup::CreateOutcome::Failed);
    EXPECT_FALSE(r.error.isEmpty());
}

TEST(SectionTable, TwelveSectionsWithDistinctControlsAndStoreFiles)
{
    const QList<DirSetup::Section>& all = DirSetup::sections();
    ASSERT_EQ(all.size(), 12);
    QSet<QString> names;
    QSet<QString> files;
    QSet<int> browsing;
    for (const DirSetup::Section& s : all) {
        for (const QString& n : {s.label, s.display, s.enterButton}) {
            EXPECT_FALSE(names.contains(n)) << n.toStdString();
            names.insert(n);
        }
        files.insert(s.storeFile.toLower());
        EXPECT_EQ(s.kind == DirSetup::Kind::Folder, !s.createButton.isEmpty()) << s.number;
        if (s.storesWhileBrowsing) {
            browsing.insert(s.number);
        }
    }
    EXPECT_EQ(files.size(), 12);
    EXPECT_EQ(browsing, (QSet<int>{6, 7, 8, 9, 11, 12, 13}));
}
