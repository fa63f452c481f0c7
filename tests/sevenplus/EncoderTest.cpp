#include "SevenPlusTestUtil.h"

#include <QFileInfo>

#include <csignal>
#include <sys/resource.h>

using namespace tolvan;
using namespace tolvan::Mod7plus;
using namespace tolvan::sevenplus_test;

namespace {

class SevenPlusEncoder : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path(const QString& name) const { return dir.path() + "/" + name; }
    QString out(const QString& name) const { return dir.path() + "/7PLUS_OUTPUT/" + name; }
    QStringList outputs() const { return QDir(dir.path() + "/7PLUS_OUTPUT").entryList(QDir::Files, QDir::Name); }
};

} // namespace

TEST(SevenPlusTimestamp, UsesTheDosDateAndTimeLayout)
{
    QTemporaryDir dir;
    const QString f = dir.path() + "/a.bin";
    writeFile(f, "x");
    EXPECT_EQ(Get7PlusTimestamp(f), "5B1573C5");
    writeFile(f, "x", QDateTime(QDate(1979, 12, 31), QTime(23, 59, 59)));
    EXPECT_EQ(Get7PlusTimestamp(f), "");
    writeFile(f, "x", QDateTime(QDate(1980, 1, 1), QTime(0, 0, 0)));
    EXPECT_EQ(Get7PlusTimestamp(f), "00210000");
    EXPECT_EQ(Get7PlusTimestamp(dir.path() + "/missing"), "");
}

struct ShortNameCase {
    const char* file;
    const char* shortName;
};

class SevenPlusShortName : public ::testing::TestWithParam<ShortNameCase> {};

TEST_P(SevenPlusShortName, FollowsTheEightThreeForm)
{
    EXPECT_EQ(Make7PlusShortName(GetParam().file), GetParam().shortName);
}

INSTANTIATE_TEST_SUITE_P(
    Names, SevenPlusShortName,
    ::testing::Values(ShortNameCase{"picture.jpeg", "PICTURE.JPE"}, ShortNameCase{"/x/y/readme", "README"},
                      ShortNameCase{"archive.tar.gz", "ARCHIVE..GZ"}, ShortNameCase{"my photo.jpg", "MY_PHOTO.JPG"},
                      ShortNameCase{"  verylongname.text ", "VERYLONG.TEX"}, ShortNameCase{"a:b?.c*d", "A_B_.C_D"},
                      ShortNameCase{".bashrc", ""}, ShortNameCase{"caf\u00e9\u4e2d.txt", "CAF\u00c9_.TXT"}));

TEST(SevenPlusHeaderBuild, RefusesImplausibleArguments)
{
    Block b{};
    EXPECT_FALSE(Build7PlusHeader(0, 1, 1, 512, b, "a.bin"));
    EXPECT_FALSE(Build7PlusHeader(100, 0, 1, 512, b, "a.bin"));
    EXPECT_FALSE(Build7PlusHeader(100, 2, 1, 512, b, "a.bin"));
    EXPECT_FALSE(Build7PlusHeader(100, 1, 256, 512, b, "a.bin"));
    EXPECT_FALSE(Build7PlusHeader(100, 1, 1, 513, b, "a.bin"));
    EXPECT_FALSE(Build7PlusHeader(100, 1, 1, 0, b, "a.bin"));
    EXPECT_FALSE(Build7PlusHeader(100, 1, 1, 512, b, ".hidden"));
    // The last part would hold no bytes.
    EXPECT_FALSE(Build7PlusHeader(31744, 2, 2, 512, b, "a.bin"));
    // A size of eight digits does not fit the header.
    EXPECT_FALSE(Build7PlusHeader(10000000, 1, 255, 512, b, "a.bin"));
    EXPECT_TRUE(Build7PlusHeader(100, 1, 1, 512, b, "a.bin"));
}

TEST(SevenPlusFooterBuild, ValidatesNameAndStamp)
{
    Block b{};
    EXPECT_TRUE(Build7PlusFooter("picture.jpeg", 1, 1, b, "5b1573c5"));
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(b.data()), 62),
              QByteArray(" stop_7+. (PICTURE.7PL) [5B1573C5]").leftJustified(62, ' '));
    EXPECT_FALSE(Build7PlusFooter("", 1, 1, b, "0"));
    EXPECT_FALSE(Build7PlusFooter("x", 1, 1, b, ""));
    EXPECT_FALSE(Build7PlusFooter("x", 1, 1, b, "123456789"));
    EXPECT_FALSE(Build7PlusFooter("x", 1, 1, b, "12G"));
    EXPECT_FALSE(Build7PlusFooter("x", 2, 1, b, "0"));
    EXPECT_FALSE(Build7PlusFooter("x", 1, 256, b, "0"));
}

TEST_F(SevenPlusEncoder, PictureExampleGivesKnownHeadersFooterAndLengths)
{
    writeFile(path("picture.jpeg"), randomBytes(1077546));
    ScriptedHost host;
    QString msg;
    ASSERT_TRUE(reported(Encode7PlusFile(path("picture.jpeg"), host.host()), msg)) << msg.toStdString();
    EXPECT_EQ(msg, "7PLUS MULTIPART ENCODING COMPLETE\r\n--------------------------------\r\nOriginal size: 1077546\r\n"
                   "Total parts: 34\r\nOutput folder: "
                       + dir.path() + "/7PLUS_OUTPUT");
    EXPECT_EQ(outputs().size(), 34);
    EXPECT_EQ(headerText(readFile(out("PICTURE.P01"))),
              " go_7+. 001 of 034 PICTURE.JPE  1077546 8000 200 (7PLUS v2.2) ");
    const QByteArray last = readFile(out("PICTURE.P22"));
    EXPECT_EQ(headerText(last), " go_7+. 034 of 034 PICTURE.JPE  1077546 7900 200 (7PLUS v2.2) ");
    EXPECT_EQ(last.size(), 34506);
    const QByteArray tenth = readFile(out("PICTURE.P0A"));
    EXPECT_EQ(headerText(tenth).mid(8, 6), "010 of");
    EXPECT_EQ(tenth.mid(tenth.size() - 71, 62), QByteArray(" stop_7+. (PICTURE.P0A/22) [5B1573C5]") + QByteArray(25, ' '));
    EXPECT_EQ(tenth.right(2), "\r\n");
    EXPECT_EQ(host.progress.size(), 34);
    EXPECT_EQ(host.progress.front(), 2);
    EXPECT_EQ(host.progress.back(), 100);
    EXPECT_TRUE(host.titles.isEmpty());
}

struct SizeCase {
    qint64 size;
    int parts;
    const char* lastHeaderTail; // "encoded lines (7PLUS v2.2) " of the last part
    const char* lastFooterName;
};

class SevenPlusEncoderSizes : public SevenPlusEncoder, public ::testing::WithParamInterface<SizeCase> {};

TEST_P(SevenPlusEncoderSizes, SplitsIntoTheRightParts)
{
    const SizeCase c = GetParam();
    writeFile(path("data.bin"), randomBytes(c.size, quint32(c.size)));
    QString msg;
    ASSERT_TRUE(reported(Encode7PlusFile(path("data.bin")), msg)) << msg.toStdString();
    EXPECT_EQ(outputs().size(), c.parts);
    const QByteArray last = readFile(out("DATA.P" + Hex2(c.parts)));
    EXPECT_TRUE(headerText(last).endsWith(c.lastHeaderTail)) << headerText(last).toStdString();
    EXPECT_TRUE(headerText(last).startsWith(QStringLiteral(" go_7+. %1 of %1").arg(c.parts, 3, 10, QLatin1Char('0')).toLatin1()));
    EXPECT_TRUE(last.mid(last.size() - 71, 62).startsWith(c.lastFooterName)) << last.right(71).toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, SevenPlusEncoderSizes,
    ::testing::Values(SizeCase{1, 1, " 0040 200 (7PLUS v2.2) ", " stop_7+. (DATA.7PL) ["},
                      SizeCase{62, 1, " 0040 200 (7PLUS v2.2) ", " stop_7+. (DATA.7PL) ["},
                      SizeCase{63, 1, " 0080 200 (7PLUS v2.2) ", " stop_7+. (DATA.7PL) ["},
                      SizeCase{31744, 1, " 8000 200 (7PLUS v2.2) ", " stop_7+. (DATA.7PL) ["},
                      SizeCase{31745, 2, " 0040 200 (7PLUS v2.2) ", " stop_7+. (DATA.P02/02) ["},
                      SizeCase{8094720, 255, " 8000 200 (7PLUS v2.2) ", " stop_7+. (DATA.PFF/FF) ["}));

class SevenPlusEncoderRefusal : public SevenPlusEncoder {};

TEST_F(SevenPlusEncoderRefusal, ReportsEachForeseenFailure)
{
    QString msg;
    writeFile(path("empty.bin"), {});
    EXPECT_FALSE(reported(Encode7PlusFile(path("empty.bin")), msg));
    EXPECT_EQ(msg, "Unable to read source file.");
    EXPECT_FALSE(reported(Encode7PlusFile(path("missing.bin")), msg));
    EXPECT_EQ(msg, "Unable to read source file.");
    EXPECT_FALSE(reported(Encode7PlusFile("  "), msg));
    EXPECT_EQ(msg, "Unable to read source file.");

    writeFile(path("old.bin"), "abc", QDateTime(QDate(1979, 6, 1), QTime(12, 0)));
    EXPECT_FALSE(reported(Encode7PlusFile(path("old.bin")), msg));
    EXPECT_EQ(msg, "Unable to read source file timestamp.");

    writeFile(path("big.bin"), randomBytes(8094721));
    EXPECT_FALSE(reported(Encode7PlusFile(path("big.bin")), msg));
    EXPECT_EQ(msg, "File requires more than 255 parts.");

    writeFile(path(".hidden"), "abc");
    EXPECT_FALSE(reported(Encode7PlusFile(path(".hidden")), msg));
    EXPECT_EQ(msg, "Header failed at part 1");
    EXPECT_TRUE(outputs().isEmpty());

    const QString cwd = QDir::currentPath();
    QDir::setCurrent(dir.path());
    EXPECT_FALSE(reported(Encode7PlusFile("old.bin"), msg));
    EXPECT_EQ(msg, "Unable to read source file timestamp.");
    writeFile(path("rel.bin"), "abc");
    EXPECT_FALSE(reported(Encode7PlusFile("rel.bin"), msg));
    EXPECT_EQ(msg, "Please select a file using its full path.");
    QDir::setCurrent(cwd);
}

TEST_F(SevenPlusEncoder, NamesWithoutExtensionOrWithTwoDots)
{
    QString msg;
    writeFile(path("readme"), randomBytes(100));
    ASSERT_TRUE(reported(Encode7PlusFile(path("readme")), msg));
    EXPECT_TRUE(headerText(readFile(out("README.P01"))).startsWith(" go_7+. 001 of 001 README       0000100 "));

    writeFile(path("archive.tar.gz"), randomBytes(40000));
    ASSERT_TRUE(reported(Encode7PlusFile(path("archive.tar.gz")), msg));
    const QByteArray p1 = readFile(out("ARCHIVE..P01"));
    EXPECT_TRUE(headerText(p1).startsWith(" go_7+. 001 of 002 ARCHIVE..GZ  0040000 "));
    EXPECT_TRUE(p1.mid(p1.size() - 71).startsWith(" stop_7+. (ARCHIVE.P01/02) ["));
    EXPECT_TRUE(QFileInfo::exists(out("ARCHIVE..P02")));
}

TEST_F(SevenPlusEncoder, SpaceInNameBecomesUnderscoreSoTheSetDecodes)
{
    const QByteArray data = randomBytes(5000);
    writeFile(path("my photo.jpg"), data);
    QString msg;
    ASSERT_TRUE(reported(Encode7PlusFile(path("my photo.jpg")), msg)) << msg.toStdString();
    // The part files carry the same name as the header.
    EXPECT_TRUE(headerText(readFile(out("MY_PHOTO.P01"))).startsWith(" go_7+. 001 of 001 MY_PHOTO.JPG 0005000 "));
    ASSERT_TRUE(reported(DecodeReceived7Plus(out("MY_PHOTO.P01")), msg)) << msg.toStdString();
    EXPECT_EQ(readFile(dir.path() + "/7PLUS_OUTPUT/7PLUS_RECEIVED/MY_PHOTO.JPG"), data);
}

struct ReplaceCase {
    bool answer;
    bool encoded;
};

class SevenPlusEncoderReplace : public SevenPlusEncoder, public ::testing::WithParamInterface<ReplaceCase> {};

TEST_P(SevenPlusEncoderReplace, AsksBeforeTouchingAnOlderSet)
{
    QDir(dir.path()).mkdir("7PLUS_OUTPUT");
    writeFile(out("PICTURE.P05"), "old part five");
    writeFile(out("picture.p01"), "old part one");
    writeFile(path("picture.jpg"), randomBytes(100));
    ScriptedHost host;
    host.answers = {GetParam().answer};
    QString msg;
    EXPECT_EQ(reported(Encode7PlusFile(path("picture.jpg"), host.host()), msg), GetParam().encoded);
    ASSERT_EQ(host.titles, QStringList{"Replace Existing 7PLUS Files"});
    EXPECT_EQ(host.texts[0], "2 existing 7PLUS part(s) were found.\r\n\r\nFile: PICTURE\r\nFolder: " + dir.path()
                                 + "/7PLUS_OUTPUT\r\n\r\nDo you want to replace these parts?");
    if (GetParam().encoded) {
        EXPECT_EQ(outputs(), QStringList{"PICTURE.P01"});
    } else {
        EXPECT_EQ(msg, "7PLUS encoding cancelled. Existing files preserved.");
        EXPECT_EQ(outputs(), (QStringList{"PICTURE.P05", "picture.p01"}));
        EXPECT_EQ(readFile(out("PICTURE.P05")), "old part five");
    }
}

INSTANTIATE_TEST_SUITE_P(Answers, SevenPlusEncoderReplace,
                         ::testing::Values(ReplaceCase{true, true}, ReplaceCase{false, false}));

TEST_F(SevenPlusEncoder, WithoutAQuestionHandlerNothingIsReplaced)
{
    QDir(dir.path()).mkdir("7PLUS_OUTPUT");
    writeFile(out("DATA.P01"), "keep");
    writeFile(path("data.bin"), "abc");
    QString msg;
    EXPECT_FALSE(reported(Encode7PlusFile(path("data.bin")), msg));
    EXPECT_EQ(readFile(out("DATA.P01")), "keep");
}

TEST_F(SevenPlusEncoder, UnwritableOutputIsAnErrorAndLeavesNoPart)
{
    writeFile(path("data.bin"), randomBytes(40000));
    QDir(dir.path()).mkdir("7PLUS_OUTPUT");
    QFile::setPermissions(dir.path() + "/7PLUS_OUTPUT", QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    QString msg;
    const bool ok = reported(Encode7PlusFile(path("data.bin")), msg);
    QFile::setPermissions(dir.path() + "/7PLUS_OUTPUT",
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    if (ok) {
        GTEST_SKIP() << "running with privileges that ignore folder permissions";
    }
    EXPECT_TRUE(msg.startsWith("7PLUS ERROR ")) << msg.toStdString();
    EXPECT_TRUE(outputs().isEmpty());
}

TEST_F(SevenPlusEncoder, PartsGetTheUsualPermissionsOfANewFile)
{
    writeFile(path("data.bin"), "abc");
    writeFile(path("plain.txt"), "x");
    QString msg;
    ASSERT_TRUE(reported(Encode7PlusFile(path("data.bin")), msg));
    EXPECT_EQ(QFileInfo(out("DATA.P01")).permissions(), QFileInfo(path("plain.txt")).permissions());
}

TEST_F(SevenPlusEncoderRefusal, AFullDiskLeavesNoPartBehind)
{
    // A file-size limit cuts the part's write short, as a full disk would; a
    // buffered flush alone would take that for success.
    writeFile(path("data.bin"), randomBytes(20000));
    struct rlimit old {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    struct rlimit small = old;
    small.rlim_cur = 4096;
    auto previous = signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    QString msg;
    const bool ok = reported(Encode7PlusFile(path("data.bin")), msg);
    setrlimit(RLIMIT_FSIZE, &old);
    signal(SIGXFSZ, previous);
    EXPECT_FALSE(ok);
    EXPECT_EQ(msg, "7PLUS ERROR 61: Only 4096 of 23075 bytes could be written to " + out("DATA.P01") +
                       ": the disk may be full.");
    EXPECT_EQ(QDir(dir.path() + "/7PLUS_OUTPUT").entryList(QDir::Files | QDir::Hidden), QStringList());
}

TEST_F(SevenPlusEncoderRefusal, AFailedRunRemovesThePartsItWrote)
{
    // Part 2 cannot be written (a folder stands at its name), so parts 1 and
    // 3 must not stay behind as a set that looks ready to send.
    writeFile(path("data.bin"), randomBytes(3 * kPartBytes));
    QDir().mkpath(out("DATA.P02"));
    QString msg;
    EXPECT_FALSE(reported(Encode7PlusFile(path("data.bin")), msg));
    EXPECT_TRUE(msg.contains(out("DATA.P02"))) << msg.toStdString();
    EXPECT_EQ(QDir(dir.path() + "/7PLUS_OUTPUT").entryList(QDir::Files | QDir::Hidden), QStringList());
}
