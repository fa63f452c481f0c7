#include "config/ConfigStore.h"
#include "config/StationFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace tolvan;

namespace {

QByteArray readBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

class ConfigStoreTest : public ::testing::Test {
protected:
    QTemporaryDir tmp;
    QString programFolder() const { return tmp.path() + QStringLiteral("/PM"); }
    void SetUp() override { ASSERT_TRUE(QDir().mkpath(programFolder())); }
};

} // namespace

TEST_F(ConfigStoreTest, PrefixRuleJoinsWithoutSeparatorAndInsideRuleWithOne)
{
    ConfigStore store(programFolder());
    EXPECT_EQ(store.StorePath("receive.dat"), tmp.path() + "/PMreceive.dat");
    EXPECT_EQ(store.StorePath("autosave.dat"), tmp.path() + "/PM/autosave.dat");
    EXPECT_EQ(store.StorePath("soundstate.dat"), tmp.path() + "/PM/soundstate.dat");

    // A program folder that ends in a separator, as a root does.
    ConfigStore root(QStringLiteral("/"));
    EXPECT_EQ(root.StorePath("receive.dat"), "/receive.dat");
    EXPECT_EQ(root.StorePath("autosave.dat"), "/autosave.dat");

    // What is written is found where it was written.
    ASSERT_TRUE(store.WriteStoreLine("receive.dat", "/srv/in").ok());
    EXPECT_EQ(readBytes(tmp.path() + "/PMreceive.dat"), QByteArray("/srv/in\r\n"));
}

TEST_F(ConfigStoreTest, NamesMatchWithoutRegardToLetterCase)
{
    ConfigStore store(programFolder());
    writeBytes(tmp.path() + "/PMSEND.DAT", "/srv/out\r\n");
    EXPECT_TRUE(store.StoreFileExists("send.dat"));
    EXPECT_EQ(store.ReadStoreLine("send.dat").value, "/srv/out");

    // Writing another spelling replaces that file instead of making a second one.
    ASSERT_TRUE(store.WriteStoreLine("send.dat", "/srv/other").ok());
    EXPECT_EQ(readBytes(tmp.path() + "/PMSEND.DAT"), QByteArray("/srv/other\r\n"));
    EXPECT_FALSE(QFile::exists(tmp.path() + "/PMsend.dat"));

    // A new file gets the canonical spelling.
    ASSERT_TRUE(store.WriteStoreLine("VARA.dat", "blank").ok());
    EXPECT_TRUE(QFile::exists(tmp.path() + "/PMVARA.dat"));
    EXPECT_EQ(store.ReadStoreField("vara.DAT").value, "blank");
}

TEST_F(ConfigStoreTest, ReadsReportMissingAndEmptyFiles)
{
    ConfigStore store(programFolder());
    const StoreValue<QString> missing = store.ReadStoreLine("save.dat");
    EXPECT_EQ(missing.error, StoreError::FileNotFound);
    EXPECT_TRUE(missing.message.contains("PMsave.dat"));

    writeBytes(store.StorePath("save.dat"), "");
    EXPECT_EQ(store.ReadStoreLine("save.dat").error, StoreError::EndOfFile);
    EXPECT_EQ(store.ReadStoreField("save.dat").error, StoreError::EndOfFile);

    // A bare line end is an empty value, not the end of the file.
    writeBytes(store.StorePath("save.dat"), "\r\n");
    const StoreValue<QString> blankLine = store.ReadStoreLine("save.dat");
    EXPECT_TRUE(blankLine.ok());
    EXPECT_EQ(blankLine.value, "");
}

struct FieldCase {
    const char* line;
    const char* field;
};

class FieldRead : public ::testing::TestWithParam<FieldCase> {};

TEST_P(FieldRead, FollowsTheFieldRules)
{
    EXPECT_EQ(ConfigStore::firstField(QString::fromLatin1(GetParam().line)), QString::fromLatin1(GetParam().field));
}

INSTANTIATE_TEST_SUITE_P(Store, FieldRead,
                         ::testing::Values(FieldCase{"/srv/a,b", "/srv/a"}, FieldCase{"  \t/srv/a  \t", "/srv/a"},
                                           FieldCase{"\"/srv/a,b\" rest", "/srv/a,b"},
                                           FieldCase{" \"unclosed, quote", "unclosed, quote"},
                                           FieldCase{"My Folder ,x", "My Folder"}, FieldCase{"", ""},
                                           FieldCase{",x", ""}));

TEST_F(ConfigStoreTest, WholeLineKeepsCommasAndBlanksThatTheFieldReadCuts)
{
    ConfigStore store(programFolder());
    writeBytes(store.StorePath("send.dat"), " /srv/a,b \r\nsecond line\r\n");
    EXPECT_EQ(store.ReadStoreLine("send.dat").value, " /srv/a,b ");
    EXPECT_EQ(store.ReadStoreField("send.dat").value, "/srv/a");
}

TEST_F(ConfigStoreTest, NumberAndBooleanForms)
{
    ConfigStore store(programFolder());
    ASSERT_TRUE(store.WriteStoreNumber("autosave.dat", 1).ok());
    EXPECT_EQ(readBytes(store.StorePath("autosave.dat")), QByteArray("1\r\n"));
    EXPECT_EQ(store.ReadStoreNumber("autosave.dat").value, 1);

    ASSERT_TRUE(store.WriteStoreLine("buttonstate.dat", false).ok());
    EXPECT_EQ(readBytes(store.StorePath("buttonstate.dat")), QByteArray("False\r\n"));
    EXPECT_FALSE(store.ReadStoreBool("buttonstate.dat").value);
    ASSERT_TRUE(store.WriteStoreNumber("buttonstate.dat", true).ok());
    EXPECT_EQ(readBytes(store.StorePath("buttonstate.dat")), QByteArray("#TRUE#\r\n"));
    EXPECT_TRUE(store.ReadStoreBool("buttonstate.dat").value);

    for (const char* yes : {"true", "#true#", "-1", "2"}) {
        EXPECT_TRUE(ConfigStore::toBool(yes).value) << yes;
    }
    for (const char* no : {"FALSE", "#False#", "0"}) {
        const StoreValue<bool> b = ConfigStore::toBool(no);
        EXPECT_TRUE(b.ok()) << no;
        EXPECT_FALSE(b.value) << no;
    }
    EXPECT_FALSE(ConfigStore::toBool("maybe").ok());
    EXPECT_FALSE(ConfigStore::toNumber("ON").ok());
    EXPECT_FALSE(ConfigStore::toNumber("").ok());
    EXPECT_EQ(ConfigStore::toNumber(" 2.5 ").value, 2); // halves go to the even neighbour
}

TEST_F(ConfigStoreTest, WriteReplacesTheWholeFileInTheCodePage)
{
    ConfigStore store(programFolder());
    ASSERT_TRUE(store.WriteStoreLine("save.dat", "/srv/first/and/long").ok());
    ASSERT_TRUE(store.WriteStoreLine("save.dat", QStringLiteral("/srv/caf\u00e9")).ok());
    EXPECT_EQ(readBytes(store.StorePath("save.dat")), QByteArray("/srv/caf\xe9\r\n"));
    EXPECT_EQ(store.ReadStoreLine("save.dat").value, QStringLiteral("/srv/caf\u00e9"));
}

TEST_F(ConfigStoreTest, FailedWriteKeepsTheOldValue)
{
    ConfigStore store(programFolder());
    ASSERT_TRUE(store.WriteStoreLine("send.dat", "/srv/old").ok());

    // A file-size limit makes the write of the new value fail half way, as a
    // full disk would (root ignores permissions, but not this limit).
    struct rlimit old {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    struct rlimit small = old;
    small.rlim_cur = 64;
    auto previousHandler = signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const StoreStatus s = store.WriteStoreLine("send.dat", QString(1000, u'x'));
    setrlimit(RLIMIT_FSIZE, &old);
    signal(SIGXFSZ, previousHandler);

    EXPECT_FALSE(s.ok());
    EXPECT_FALSE(s.message.isEmpty());
    EXPECT_EQ(readBytes(store.StorePath("send.dat")), QByteArray("/srv/old\r\n"));
    // No temporary file is left beside it.
    EXPECT_EQ(QDir(tmp.path()).entryList(QDir::Files).size(), 1);
}

// ---- the station folder ---------------------------------------------------

namespace {

struct ChoiceCase {
    const char* name;
    bool givenFolder;    // --station given
    bool exeWritable;    // the executable's folder may be written
    bool exeInSystem;    // the executable lies under /usr
    const char* expected; // "given", "exe" or "data"
};

class StationChoice : public ::testing::TestWithParam<ChoiceCase> {};

} // namespace

TEST_P(StationChoice, PicksTheFolderAndEndsItWithASeparator)
{
    const ChoiceCase& c = GetParam();
    QTemporaryDir tmp;
    const QString exe = tmp.path() + "/unpacked";
    ASSERT_TRUE(QDir().mkpath(exe));
    if (!c.exeWritable) {
        QFile::setPermissions(exe, QFile::ReadOwner | QFile::ExeOwner);
    }
    const QString exeFolder = c.exeInSystem ? QStringLiteral("/usr/bin") : exe;
    const QString data = tmp.path() + "/data/tolvan-pm";
    const QString chosen =
        StationFolder::Choose(c.givenFolder ? tmp.path() + "/stations/../stations/K1ABC" : QString(), exeFolder, data);
    const QString expected = QString::fromLatin1(c.expected) == "given" ? tmp.path() + "/stations/K1ABC/"
                             : QString::fromLatin1(c.expected) == "exe" ? exe + "/"
                                                                         : data + "/";
    // root may write anywhere, so the read-only case only holds for others.
    if (!c.exeWritable && QFileInfo(exe).isWritable()) {
        GTEST_SKIP() << "running as root";
    }
    EXPECT_EQ(chosen, expected);
    QFile::setPermissions(exe, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

INSTANTIATE_TEST_SUITE_P(Store, StationChoice,
                         ::testing::Values(ChoiceCase{"GivenFolderWins", true, true, false, "given"},
                                           ChoiceCase{"PortableCopy", false, true, false, "exe"},
                                           ChoiceCase{"InstalledCopy", false, true, true, "data"},
                                           ChoiceCase{"ReadOnlyCopy", false, false, false, "data"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(StationFolderNames, SystemFoldersAndTheDataHome)
{
    for (const char* system : {"/usr/bin", "/usr/local/bin", "/opt/tolvan/bin", "/bin", "/"}) {
        EXPECT_TRUE(StationFolder::IsSystemFolder(system)) << system;
    }
    for (const char* own : {"/home/op/tolvan/build", "/tmp/x", "/usrlocal"}) {
        EXPECT_FALSE(StationFolder::IsSystemFolder(own)) << own;
    }
    const QByteArray old = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", "/srv/data/");
    EXPECT_EQ(StationFolder::DefaultDataFolder(), "/srv/data/tolvan-pm");
    qputenv("XDG_DATA_HOME", "relative/ignored");
    EXPECT_EQ(StationFolder::DefaultDataFolder(), QDir::homePath() + "/.local/share/tolvan-pm");
    qputenv("XDG_DATA_HOME", old);
    EXPECT_EQ(StationFolder::DisplayName("/home/op/stations/K1ABC/"), "K1ABC");
}

TEST_F(ConfigStoreTest, StationFolderKeepsPrefixRuleFilesInside)
{
    // The station folder's path text ends with "/", as a root's does, so no
    // file lands beside it.
    ConfigStore store(StationFolder::WithSeparator(programFolder()));
    for (const QString& name : StationFolder::PrefixRuleNames()) {
        EXPECT_EQ(store.StorePath(name), programFolder() + "/" + name);
        EXPECT_EQ(ConfigStore::ruleOf(name), ConfigStore::Rule::Prefix) << name.toStdString();
    }
    EXPECT_EQ(store.StorePath("autosave.dat"), programFolder() + "/autosave.dat");
    ASSERT_TRUE(store.WriteStoreLine("send.dat", "/srv/out").ok());
    EXPECT_EQ(QDir(tmp.path()).entryList(QDir::Files), QStringList());
}

TEST_F(ConfigStoreTest, OldFilesBesideTheFolderMoveInOnce)
{
    writeBytes(tmp.path() + "/PMsend.dat", "/srv/old-out\r\n");
    writeBytes(tmp.path() + "/PMRECEIVE.DAT", "/srv/old-in\r\n");
    writeBytes(tmp.path() + "/PMsave.dat", "/srv/old-save\r\n");
    writeBytes(programFolder() + "/save.dat", "/srv/new-save\r\n"); // already inside: kept
    writeBytes(tmp.path() + "/PMautosave.dat", "1\r\n");           // never a prefix-rule file
    writeBytes(tmp.path() + "/OTHERsend.dat", "/srv/other\r\n");    // another folder's
    ASSERT_TRUE(QFile::link("/etc/hostname", tmp.path() + "/PMpacket.dat")); // a link or FIFO stays outside
    ASSERT_EQ(::mkfifo(QFile::encodeName(tmp.path() + "/PMwinlink.dat").constData(), 0600), 0);

    const Result<QStringList> first = StationFolder::Prepare(programFolder() + "/");
    ASSERT_TRUE(first.ok()) << first.error().toStdString();
    EXPECT_EQ(first.value(), QStringList({"RECEIVE.DAT", "send.dat"}));

    ConfigStore store(StationFolder::WithSeparator(programFolder()));
    EXPECT_EQ(store.ReadStoreLine("send.dat").value, "/srv/old-out");
    EXPECT_EQ(store.ReadStoreLine("receive.dat").value, "/srv/old-in");
    EXPECT_EQ(store.ReadStoreLine("save.dat").value, "/srv/new-save");
    EXPECT_EQ(QDir(tmp.path()).entryList(QDir::Files),
              QStringList({"OTHERsend.dat", "PMautosave.dat", "PMpacket.dat", "PMsave.dat"}));

    // A later start finds nothing more to move, even when an old file reappears.
    writeBytes(tmp.path() + "/PMsend.dat", "/srv/stale\r\n");
    const Result<QStringList> second = StationFolder::Prepare(programFolder());
    EXPECT_TRUE(second.ok());
    EXPECT_TRUE(second->isEmpty());
    EXPECT_EQ(store.ReadStoreLine("send.dat").value, "/srv/old-out");
}

TEST_F(ConfigStoreTest, StationFolderIsCreatedOrRefused)
{
    const Result<QStringList> made = StationFolder::Prepare(tmp.path() + "/new/station/");
    EXPECT_TRUE(made.ok());
    EXPECT_TRUE(QFileInfo(tmp.path() + "/new/station").isDir());

    writeBytes(tmp.path() + "/plainfile", "x");
    const Result<QStringList> refused = StationFolder::Prepare(tmp.path() + "/plainfile/station");
    EXPECT_FALSE(refused.ok());
    EXPECT_TRUE(refused.error().contains("plainfile/station")) << refused.error().toStdString();
}

TEST(StationFolderDefault, AStoreWithoutAFolderUsesTheStationChoice)
{
    // The test binary lies in a writable build folder: a portable copy.
    const ConfigStore store;
    EXPECT_EQ(store.programFolder(), StationFolder::WithSeparator(QCoreApplication::applicationDirPath()));
}
