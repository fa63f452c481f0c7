#include "SevenPlusTestUtil.h"

#include <QFileInfo>

#include <sys/file.h>
#include <sys/stat.h>

#include <fcntl.h>
#include <unistd.h>

using namespace tolvan;
using namespace tolvan::Mod7plus;
using namespace tolvan::sevenplus_test;

namespace {

// Encodes a random file into "7PLUS_OUTPUT" and decodes from there, so the
// received folder is "7PLUS_OUTPUT/7PLUS_RECEIVED".
class SevenPlusDecoder : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QByteArray original;

    QString part(int p) const { return dir.path() + "/7PLUS_OUTPUT/PIC.P" + Hex2(p); }
    QString received(const QString& name = "PIC.BIN") const
    {
        return dir.path() + "/7PLUS_OUTPUT/7PLUS_RECEIVED/" + name;
    }
    QString workFile() const { return received("7PLUS_NEW.TMP"); }

    void encode(qint64 size, quint32 seed = 1)
    {
        original = randomBytes(size, seed);
        writeFile(dir.path() + "/pic.bin", original);
        QString msg;
        ASSERT_TRUE(reported(Encode7PlusFile(dir.path() + "/pic.bin"), msg)) << msg.toStdString();
    }
    bool decode(QString& msg, ScriptedHost* host = nullptr) const
    {
        return reported(DecodeReceived7Plus(part(1), host ? host->host() : Host{}), msg);
    }
    void expectNothingWritten() const
    {
        EXPECT_FALSE(QFileInfo::exists(workFile()));
        EXPECT_FALSE(QFileInfo::exists(received()));
    }
};

} // namespace

class SevenPlusRoundTrip : public ::testing::TestWithParam<qint64> {};

TEST_P(SevenPlusRoundTrip, RebuildsTheFileByteForByte)
{
    QTemporaryDir dir;
    const QByteArray data = randomBytes(GetParam(), quint32(GetParam()) * 31u);
    writeFile(dir.path() + "/f.dat", data);
    QString msg;
    ASSERT_TRUE(reported(Encode7PlusFile(dir.path() + "/f.dat"), msg)) << msg.toStdString();
    ScriptedHost host;
    ASSERT_TRUE(reported(DecodeReceived7Plus(dir.path() + "/7PLUS_OUTPUT/F.P01", host.host()), msg)) << msg.toStdString();
    const QString out = dir.path() + "/7PLUS_OUTPUT/7PLUS_RECEIVED/F.DAT";
    EXPECT_EQ(readFile(out), data);
    const int parts = int((GetParam() + kPartBytes - 1) / kPartBytes);
    EXPECT_EQ(msg, QStringLiteral("7PLUS RECEIVED FILE DECODING\r\n--------------------------------\r\n"
                                  "Original filename: F.DAT\r\nOriginal size: %1\r\nParts decoded: %2\r\n"
                                  "Bytes reconstructed: %1\r\nOutput: %3\r\nRESULT: DECODING COMPLETE")
                       .arg(GetParam())
                       .arg(parts)
                       .arg(out));
    EXPECT_EQ(host.progress.size(), parts);
    EXPECT_EQ(host.progress.back(), 100);
}

INSTANTIATE_TEST_SUITE_P(Sizes, SevenPlusRoundTrip,
                         ::testing::Values(1, 2, 61, 62, 63, 123, 124, 125, 1000, 31743, 31744, 31745, 63488, 63489,
                                           100000, 333333, 1077546));

TEST_F(SevenPlusDecoder, SelectingPartTwoIsRefused)
{
    encode(40000);
    QString msg;
    EXPECT_FALSE(reported(DecodeReceived7Plus(part(2)), msg));
    EXPECT_EQ(msg, "Please select Part 1 (.P01).");
    expectNothingWritten();
}

TEST_F(SevenPlusDecoder, MissingPartIsNamedBeforeAnythingIsWritten)
{
    encode(7 * kPartBytes + 5);
    QFile::remove(part(7));
    QString msg;
    EXPECT_FALSE(decode(msg));
    EXPECT_EQ(msg, "Missing 7PLUS part:\r\n" + part(7));
    expectNothingWritten();
}

TEST_F(SevenPlusDecoder, PartNamesAreFoundWithoutRegardToCase)
{
    encode(70000);
    const QString folder = dir.path() + "/7PLUS_OUTPUT/";
    ASSERT_TRUE(QFile::rename(part(1), folder + "pic.p01"));
    ASSERT_TRUE(QFile::rename(part(3), folder + "Pic.p03"));
    QString msg;
    ASSERT_TRUE(reported(DecodeReceived7Plus(folder + "pic.p01"), msg)) << msg.toStdString();
    EXPECT_EQ(readFile(received()), original);
}

// Parts are opened without waiting, so a pipe under a part's name cannot
// hang the decoder: it is refused as no part.
TEST_F(SevenPlusDecoder, PipeInPlaceOfAPartIsRefusedWithoutHanging)
{
    encode(2 * kPartBytes + 10);
    ASSERT_TRUE(QFile::remove(part(2)));
    ASSERT_EQ(::mkfifo(QFile::encodeName(part(2)).constData(), 0600), 0);
    QString msg;
    EXPECT_FALSE(decode(msg));
    EXPECT_EQ(msg, "Invalid header in part 2");
    EXPECT_FALSE(QFileInfo::exists(workFile()));
}

struct DamageCase {
    const char* label;
    std::function<void(QByteArray&)> damage;
    QString message;
};

class SevenPlusDecoderDamage : public SevenPlusDecoder, public ::testing::WithParamInterface<DamageCase> {};

TEST_P(SevenPlusDecoderDamage, IsCaughtAndLeavesNoWorkFile)
{
    encode(3 * kPartBytes + 1000);
    // An earlier result must survive a failed second run untouched.
    QDir(dir.path() + "/7PLUS_OUTPUT").mkdir("7PLUS_RECEIVED");
    writeFile(received(), "earlier result");
    QByteArray data = readFile(part(2));
    GetParam().damage(data);
    writeFile(part(2), data);
    ScriptedHost host;
    host.answers = {true};
    QString msg;
    EXPECT_FALSE(decode(msg, &host));
    EXPECT_EQ(msg, GetParam().message);
    EXPECT_FALSE(QFileInfo::exists(workFile()));
    EXPECT_FALSE(QFileInfo::exists(received("PIC.BIN.BAK")));
    EXPECT_EQ(readFile(received()), "earlier result");
}

namespace {
void setByte(QByteArray& d, qsizetype at, int delta)
{
    d[at] = char(Get7PlusChar((Get7PlusIndex(std::uint8_t(d[at])) + delta) % 216));
}
} // namespace

INSTANTIATE_TEST_SUITE_P(
    Damage, SevenPlusDecoderDamage,
    ::testing::Values(
        DamageCase{"added", [](QByteArray& d) { d.insert(500, 'x'); }, "Unexpected file length in part 2"},
        DamageCase{"removed", [](QByteArray& d) { d.remove(700, 1); }, "Unexpected file length in part 2"},
        DamageCase{"data", [](QByteArray& d) { setByte(d, 72 + 71 * 10 + 33, 1); },
                   "7PLUS CRC FAILED\r\nPart: 2\r\nLine: 10"},
        DamageCase{"first", [](QByteArray& d) { setByte(d, 71, 5); }, "7PLUS CRC FAILED\r\nPart: 2\r\nLine: 0"},
        DamageCase{"check", [](QByteArray& d) { setByte(d, 71 + 71 * 511 + 68, 1); },
                   "7PLUS CRC FAILED\r\nPart: 2\r\nLine: 511"},
        DamageCase{"linecheck", [](QByteArray& d) { setByte(d, 71 + 71 * 200 + 64, 1); },
                   "7PLUS CRC FAILED\r\nPart: 2\r\nLine: 200"},
        DamageCase{"moved",
                   [](QByteArray& d) {
                       const QByteArray a = d.mid(71 * 4, 71);
                       d.replace(71 * 4, 71, d.mid(71 * 5, 71));
                       d.replace(71 * 5, 71, a);
                   },
                   "7PLUS CRC FAILED\r\nPart: 2\r\nLine: 3"},
        DamageCase{"header", [](QByteArray& d) { d[20] = 'Q'; }, "Invalid header in part 2"}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(SevenPlusDecoder, EveryChangedByteOfAPartIsCaught)
{
    encode(2000);
    const QByteArray good = readFile(part(1));
    const int lines = int(good.size() / 71) - 2;
    for (int k = 0; k < lines; ++k) {
        for (int pos = 0; pos < 69; ++pos) {
            QByteArray bad = good;
            setByte(bad, 71 * (k + 1) + pos, 1 + pos);
            writeFile(part(1), bad);
            QString msg;
            ASSERT_FALSE(decode(msg)) << k << " " << pos;
            ASSERT_EQ(msg, QStringLiteral("7PLUS CRC FAILED\r\nPart: 1\r\nLine: %1").arg(k));
        }
    }
    expectNothingWritten();
}

TEST_F(SevenPlusDecoder, PartCarryingAnotherPartNumberIsAMismatch)
{
    encode(3 * kPartBytes);
    QFile::remove(part(2));
    QFile::copy(part(3), part(2));
    QString msg;
    EXPECT_FALSE(decode(msg));
    EXPECT_EQ(msg, "Header mismatch in part 2");
    expectNothingWritten();
}

TEST_F(SevenPlusDecoder, HeadersPaddedWithExtraSpacesReadTheSame)
{
    encode(100);
    replaceHeader(part(1), " go_7+.  001 of  001 PIC.BIN   0000100  0080 200 (7PLUS  v2.2)");
    const Result<Header> read = Read7PlusHeader(part(1));
    ASSERT_TRUE(read.ok());
    const Header& h = read.value();
    EXPECT_EQ(h.name, "PIC.BIN");
    EXPECT_EQ(h.size, 100);
    EXPECT_EQ(h.encodedBytes, 128);
    EXPECT_EQ(h.blockLines, 512);
    QString msg;
    ASSERT_TRUE(decode(msg)) << msg.toStdString();
    EXPECT_EQ(readFile(received()), original);
}

struct HeaderCase {
    const char* text;
    const char* message;
};

class SevenPlusDecoderHeader : public SevenPlusDecoder, public ::testing::WithParamInterface<HeaderCase> {};

TEST_P(SevenPlusDecoderHeader, RefusesUnusableFirstHeaders)
{
    encode(100);
    replaceHeader(part(1), GetParam().text);
    QString msg;
    EXPECT_FALSE(decode(msg));
    EXPECT_EQ(msg, GetParam().message);
    EXPECT_FALSE(QFileInfo::exists(workFile()));
    EXPECT_TRUE(QDir(dir.path() + "/7PLUS_OUTPUT").entryList({"*.BIN", ".."}, QDir::Files).isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Headers, SevenPlusDecoderHeader,
    ::testing::Values(
        HeaderCase{" go_7+. 001 of 001 MY PHOTO.JPG 0000100 0080 200 (7PLUS v2.2) ",
                   "Unable to read first 7PLUS header."},
        HeaderCase{" go_7+. 001 of 001 PIC.BIN 0000100 00G0 200 (7PLUS v2.2) ", "Unable to read first 7PLUS header."},
        HeaderCase{" go_7+. 001 of 001 PIC.BIN 0000100 0080 201 (7PLUS v2.2) ", "Unable to read first 7PLUS header."},
        HeaderCase{" go_7+. 001 of 001 PIC.BIN 9999999999 0080 200 (7PLUS v2.2)", "Unable to read first 7PLUS header."},
        HeaderCase{" go_7+. 001 of 001 PIC.BIN 0000100 0080 200 (7PLUS)", "Unable to read first 7PLUS header."},
        HeaderCase{" go_7+. 001 of 002 PIC.BIN 0000100 0080 200 (7PLUS v2.2) ",
                   "Header part count does not match file size."},
        HeaderCase{" go_7+. 001 of 001 .. 0000100 0080 200 (7PLUS v2.2) ",
                   "Invalid file name in 7PLUS header:\r\n..\r\n(it names a folder, not a file)"},
        HeaderCase{" go_7+. 001 of 001 ../../x 0000100 0080 200 (7PLUS v2.2) ",
                   "Invalid file name in 7PLUS header:\r\n../../x\r\n(it holds the character \"/\" (U+002F), which no "
                   "file name may hold)"},
        HeaderCase{" go_7+. 001 of 001 C:\\X.EXE 0000100 0080 200 (7PLUS v2.2) ",
                   "Invalid file name in 7PLUS header:\r\nC:\\X.EXE\r\n(it holds the character \":\" (U+003A), which "
                   "no file name may hold)"},
        HeaderCase{" go_7+. 001 of 001 A|B 0000100 0080 200 (7PLUS v2.2) ",
                   "Invalid file name in 7PLUS header:\r\nA|B\r\n(it holds the character \"|\" (U+007C), which no file "
                   "name may hold)"}));

TEST_F(SevenPlusDecoder, EncodedLengthMustMatchTheLineCount)
{
    encode(100);
    replaceHeader(part(1), " go_7+. 001 of 001 PIC.BIN     0000100 0040 200 (7PLUS v2.2) ");
    QString msg;
    EXPECT_FALSE(decode(msg));
    EXPECT_EQ(msg, "Encoded length mismatch in part 1");
}

struct SecondRunCase {
    bool answer;
};

class SevenPlusDecoderSecondRun : public SevenPlusDecoder, public ::testing::WithParamInterface<bool> {};

TEST_P(SevenPlusDecoderSecondRun, AsksAndLeavesNoBackup)
{
    encode(5000);
    QString msg;
    ASSERT_TRUE(decode(msg));
    writeFile(received(), "changed meanwhile");
    ScriptedHost host;
    host.answers = {GetParam()};
    EXPECT_EQ(decode(msg, &host), GetParam());
    ASSERT_EQ(host.titles, QStringList{"Replace Existing 7PLUS File"});
    EXPECT_EQ(host.texts[0], "This decoded file already exists:\r\n\r\n" + received() + "\r\n\r\nDo you want to replace it?");
    if (GetParam()) {
        EXPECT_EQ(readFile(received()), original);
    } else {
        EXPECT_EQ(msg, "7PLUS decoding cancelled.\r\nExisting file preserved.");
        EXPECT_EQ(readFile(received()), "changed meanwhile");
    }
    EXPECT_FALSE(QFileInfo::exists(received("PIC.BIN.BAK")));
    EXPECT_FALSE(QFileInfo::exists(workFile()));
}

INSTANTIATE_TEST_SUITE_P(Answers, SevenPlusDecoderSecondRun, ::testing::Bool());

TEST_F(SevenPlusDecoder, LeftoverWorkFileIsRemovedButARunningDecodeIsLeftAlone)
{
    encode(5000);
    QDir(dir.path() + "/7PLUS_OUTPUT").mkdir("7PLUS_RECEIVED");
    // A run that holds its work file: the lock says it is alive.
    writeFile(workFile(), "running");
    const int held = ::open(QFile::encodeName(workFile()).constData(), O_RDONLY);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    QString msg;
    EXPECT_FALSE(decode(msg));
    EXPECT_TRUE(msg.startsWith("Temporary decoding file already exists:\r\n" + workFile() + "\r\n"));
    EXPECT_EQ(readFile(workFile()), "running");
    EXPECT_FALSE(QFileInfo::exists(received()));
    // The run ends without cleaning up (killed): the next decode goes ahead.
    ::close(held);
    EXPECT_TRUE(decode(msg)) << msg.toStdString();
    EXPECT_EQ(readFile(received()), original);
    EXPECT_FALSE(QFileInfo::exists(workFile()));
    // A backup of another program's beside the output is no obstacle: none is made.
    writeFile(received("PIC.BIN.BAK"), "someone's backup");
    ScriptedHost host;
    host.answers = {true};
    EXPECT_TRUE(decode(msg, &host)) << msg.toStdString();
    EXPECT_EQ(readFile(received("PIC.BIN.BAK")), "someone's backup");
}

TEST_F(SevenPlusDecoder, FooterDamageDoesNotMatter)
{
    encode(100);
    QByteArray d = readFile(part(1));
    d[d.size() - 60] = 'Z';
    writeFile(part(1), d);
    QString msg;
    EXPECT_TRUE(decode(msg)) << msg.toStdString();
}

TEST_F(SevenPlusDecoder, PathWithoutFolderOrExtensionIsRefused)
{
    encode(100);
    const QString folder = dir.path() + "/7PLUS_OUTPUT/";
    QFile::copy(part(1), folder + "NODOT");
    QString msg;
    EXPECT_FALSE(reported(DecodeReceived7Plus(folder + "NODOT"), msg));
    EXPECT_EQ(msg, "Invalid part filename.");
    const QString cwd = QDir::currentPath();
    QDir::setCurrent(folder);
    EXPECT_FALSE(reported(DecodeReceived7Plus("PIC.P01"), msg));
    EXPECT_EQ(msg, "Invalid part path.");
    QDir::setCurrent(cwd);
}

TEST(SevenPlusSelfTestOps, SupportTheScreensChecks)
{
    QTemporaryDir dir;
    const QString src = dir.path() + "/pic.jpg";
    const QByteArray data = randomBytes(70000, 4);
    writeFile(src, data);
    EXPECT_TRUE(WriteBinaryFile(dir.path() + "/copy", data).ok());
    EXPECT_FALSE(WriteBinaryFile(dir.path() + "/copy", data).ok());
    EXPECT_FALSE(WriteBinaryFile(" ", data).ok());
    EXPECT_TRUE(FilesIdentical(src, dir.path() + "/copy"));
    writeFile(dir.path() + "/other", data.left(69999));
    EXPECT_FALSE(FilesIdentical(src, dir.path() + "/other"));

    QString msg;
    ASSERT_TRUE(reported(Create7PlusFirstPart(src, src + ".7plus-test.P01", "pic.jpg"), msg)) << msg.toStdString();
    const QByteArray p1 = readFile(src + ".7plus-test.P01");
    EXPECT_EQ(p1.size(), 514 * 71);
    EXPECT_TRUE(headerText(p1).startsWith(" go_7+. 001 of 003 TEST.JPG     0070000 8000 "));
    EXPECT_TRUE(p1.mid(p1.size() - 71).startsWith(" stop_7+. (PIC.P01/03) [0]"));
    ASSERT_TRUE(Decode7PlusPart1(src + ".7plus-test.P01", dir.path() + "/PART1_TEST.BIN").ok());
    EXPECT_EQ(readFile(dir.path() + "/PART1_TEST.BIN"), data.left(kPartBytes));
    EXPECT_FALSE(Decode7PlusPart1(dir.path() + "/none.P01", dir.path() + "/x").ok());

    ASSERT_TRUE(reported(Encode7PlusFile(src), msg));
    const QString p01 = dir.path() + "/7PLUS_OUTPUT/PIC.P01";
    ASSERT_TRUE(reported(Decode7PlusAll(p01, data.size()), msg)) << msg.toStdString();
    EXPECT_TRUE(FilesIdentical(src, dir.path() + "/7PLUS_OUTPUT/PIC_DECODED.JPG"));
    EXPECT_FALSE(reported(Decode7PlusAll(p01, data.size()), msg));
    EXPECT_EQ(msg, "Decoded output already exists: " + dir.path() + "/7PLUS_OUTPUT/PIC_DECODED.JPG");
    QFile::remove(dir.path() + "/7PLUS_OUTPUT/PIC.P03");
    QFile::remove(dir.path() + "/7PLUS_OUTPUT/PIC_DECODED.JPG");
    EXPECT_FALSE(reported(Decode7PlusAll(p01, data.size()), msg));
    EXPECT_EQ(msg, "Missing 7PLUS part: " + dir.path() + "/7PLUS_OUTPUT/PIC.P03");
}
