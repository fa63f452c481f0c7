#include "pmba/ModPMBA.h"

#include "PmbaTestUtil.h"
#include "platform/fake/FakePlatform.h"

#include <QBuffer>
#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace tolvan;
using namespace tolvan::test;
namespace P = tolvan::ModPMBA;

namespace {

// A mail built by hand, so the tests check the writer against the layout and
// not against itself.
QByteArray handMail(const QByteArray& name, const QByteArray& data, const QByteArray& to = "T", qint32 crc = -1)
{
    QByteArray m = field("PMBA") + le32(1) + field(to) + field("F") + field("S") + field("M") + field(name);
    m += le32(static_cast<qint32>(data.size())) + data;
    m += le32(crc != -1 ? crc : static_cast<qint32>(P::PMBA_Crc32(data)));
    return m;
}

class PmbaFolders : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString in() const { return dir.filePath("in"); }
    QString out() const { return dir.filePath("out"); }
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        QDir(dir.path()).mkpath("in");
        QDir(dir.path()).mkpath("out");
    }
    QString put(const QString& name, const QByteArray& bytes) const
    {
        const QString path = in() + u'/' + name;
        EXPECT_TRUE(writeAll(path, bytes));
        return path;
    }
};

} // namespace

TEST(PmbaCrc, IsTheStandardCrc32)
{
    EXPECT_EQ(P::PMBA_Crc32("123456789"), 0xCBF43926u);
    EXPECT_EQ(P::PMBA_Crc32(""), 0u);
}

TEST(PmbaText, WritesTheCodePageByteCountNotTheCharacterCount)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadWrite);
    ASSERT_TRUE(P::PMBA_WriteText(buffer, QStringLiteral("\u20ACa")));
    ASSERT_TRUE(P::PMBA_WriteText(buffer, QString()));
    EXPECT_EQ(bytes, le32(2) +
                         QByteArray("\x80"
                                    "a") +
                         le32(0));
    buffer.seek(0);
    EXPECT_EQ(P::PMBA_ReadText(buffer).value(), QStringLiteral("\u20ACa"));
    EXPECT_TRUE(P::PMBA_ReadText(buffer).ok());
}

TEST_F(PmbaFolders, SmallestMailIs42BytesLaidOutByteForByte)
{
    const QString attachment = put("x", "Z");
    const QString mail = out() + "/m.pmb";
    const Result<qint64> r = P::PMBA_CreateBinaryMail(attachment, mail, "", "", "", "");
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.value(), P::kSmallestMail);
    const QByteArray expected = field("PMBA") + le32(1) + le32(0) + le32(0) + le32(0) + le32(0) + field("x") + le32(1) +
                                "Z" + le32(static_cast<qint32>(P::PMBA_Crc32("Z")));
    EXPECT_EQ(readAll(mail), expected);
    EXPECT_TRUE(readAll(mail).startsWith(QByteArray::fromHex("04000000504d424101000000")));
    EXPECT_EQ(entries(out()), QStringList{"m.pmb"});
}

TEST_F(PmbaFolders, RoundTripKeepsFieldsAndBytes)
{
    QByteArray data;
    for (int i = 0; i < 70000; ++i) {
        data.append(static_cast<char>(i * 7));
    }
    const QString attachment = put("photo one-2.tar.gz", data);
    const QString mail = dir.filePath("m.pmb");
    FakeDialogs dialogs;
    ASSERT_TRUE(P::PMBA_CreateBinaryMail(dialogs, attachment, mail, "TO: \u00C5sa", "From: K1ABC", "Subject: \u20AC",
                                         "line 1\r\nline 2")
                    .ok());
    EXPECT_TRUE(dialogs.boxes.isEmpty());
    EXPECT_TRUE(P::IsPMBAFile(mail));

    const QByteArray before = readAll(mail);
    const Result<P::DecodedPmbaMail> decoded = P::PMBA_DecodeBinaryMail(dialogs, mail, out());
    ASSERT_TRUE(decoded.ok());
    EXPECT_TRUE(dialogs.boxes.isEmpty());
    EXPECT_EQ(decoded->to, "TO: \u00C5sa");
    EXPECT_EQ(decoded->from, "From: K1ABC");
    EXPECT_EQ(decoded->subject, "Subject: \u20AC");
    EXPECT_EQ(decoded->message, "line 1\r\nline 2");
    EXPECT_EQ(decoded->attachmentPath, out() + "/photo one-2.tar.gz");
    EXPECT_EQ(readAll(decoded->attachmentPath), data);
    EXPECT_EQ(readAll(mail), before) << "the decoder never changes the mail";
}

TEST_F(PmbaFolders, OutputFolderEndingInSeparatorGetsNoSecondOne)
{
    const QString mail = put("m.pmb", handMail("a.txt", "abc"));
    const Result<P::DecodedPmbaMail> r = P::PMBA_DecodeBinaryMail(mail, out() + u'/');
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r->attachmentPath, out() + "/a.txt");
}

TEST_F(PmbaFolders, SecondDecodeReplacesTheFirstAttachment)
{
    ASSERT_TRUE(P::PMBA_DecodeBinaryMail(put("1.pmb", handMail("same.bin", "first")), out()).ok());
    ASSERT_TRUE(P::PMBA_DecodeBinaryMail(put("2.pmb", handMail("same.bin", "2nd")), out()).ok());
    EXPECT_EQ(readAll(out() + "/same.bin"), "2nd");
    EXPECT_EQ(entries(out()), QStringList{"same.bin"});
}

TEST_F(PmbaFolders, ChecksumWithTopBitSetComparesEqual)
{
    QByteArray data("a");
    while (static_cast<qint32>(P::PMBA_Crc32(data)) >= 0) {
        data.append('a');
    }
    const QString mail = put("m.pmb", handMail("n", data));
    EXPECT_LT(qFromLittleEndian<qint32>(readAll(mail).right(4).constData()), 0);
    EXPECT_TRUE(P::PMBA_DecodeBinaryMail(mail, out()).ok());
}

TEST_F(PmbaFolders, TextFieldOfExactlyTheLimitIsAccepted)
{
    const QByteArray to(P::kMaxTextField, 'x');
    const Result<P::DecodedPmbaMail> r = P::PMBA_DecodeBinaryMail(put("m.pmb", handMail("n", "d", to)), out());
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r->to.size(), P::kMaxTextField);
}

// ---- refusals of the decoder -------------------------------------------------

struct BadMail {
    const char* name;
    QByteArray bytes;
    QString text;
    MsgIcon icon;
    QString title;
};

void PrintTo(const BadMail& c, std::ostream* os)
{
    *os << c.name;
}

class PmbaRefusal : public PmbaFolders, public ::testing::WithParamInterface<BadMail> {};

TEST_P(PmbaRefusal, ShowsItsMessageAndLeavesNoAttachment)
{
    const BadMail& c = GetParam();
    const QString mail = put("m.pmb", c.bytes);
    FakeDialogs dialogs;
    EXPECT_FALSE(P::PMBA_DecodeBinaryMail(dialogs, mail, out()).ok());
    ASSERT_EQ(dialogs.boxes.size(), 1);
    EXPECT_EQ(dialogs.boxes[0].text, c.text);
    EXPECT_EQ(dialogs.boxes[0].icon, c.icon);
    EXPECT_EQ(dialogs.boxes[0].title, c.title);
    EXPECT_EQ(entries(out()), QStringList());
    EXPECT_EQ(readAll(mail), c.bytes);
}

namespace {

const QString kLength = P::kDecodingErrorPrefix + P::kInvalidTextLength;
const QString kIncomplete = QStringLiteral("PMBA: Attachment data is incomplete.");
// The refusal names the name, control characters spelt out, and the reason.
QString badName(const QString& shown, const QString& why)
{
    return QStringLiteral("PMBA: Invalid attachment filename.\nThe name \"%1\" cannot be written: %2.").arg(shown, why);
}
QString badChar(const QString& shown, const char* c)
{
    return badName(shown, QStringLiteral("it holds the character %1, which no file name may hold").arg(c));
}

QByteArray withByte(QByteArray b, qsizetype at, char value)
{
    b[at] = value;
    return b;
}

QByteArray withNameField(const QByteArray& nameField)
{
    return field("PMBA") + le32(1) + le32(0) + le32(0) + le32(0) + le32(0) + nameField + le32(1) + "d" +
           le32(static_cast<qint32>(P::PMBA_Crc32("d")));
}

const QByteArray kGood = handMail("n.bin", "0123456789");
const qsizetype kDataAt = kGood.size() - 4 - 10;

} // namespace

INSTANTIATE_TEST_SUITE_P(
    Decoder, PmbaRefusal,
    ::testing::Values(
        BadMail{"OneByteAppended", kGood + "x", "PMBA: Unexpected data after checksum.", MsgIcon::Critical, {}},
        BadMail{"FlippedDataByte", withByte(kGood, kDataAt + 3, 'X'),
                "PMBA: CRC-32 CHECK FAILED!\nThe attachment may be corrupted.", MsgIcon::Critical, "PMBA"},
        BadMail{"FlippedChecksumByte", withByte(kGood, kGood.size() - 1, '\x5A'),
                "PMBA: CRC-32 CHECK FAILED!\nThe attachment may be corrupted.", MsgIcon::Critical, "PMBA"},
        BadMail{"LowerCaseSignature",
                withByte(kGood, 4, 'p'),
                "PMBA: Invalid binary file signature.",
                MsgIcon::Critical,
                {}},
        BadMail{"SignatureOfOtherLength",
                field("PMBAX") + kGood.mid(8),
                "PMBA: Invalid binary file signature.",
                MsgIcon::Critical,
                {}},
        BadMail{"VersionTwo", withByte(kGood, 8, 2), "PMBA: Unsupported version.", MsgIcon::Critical, {}},
        BadMail{"SizeZero",
                field("PMBA") + le32(1) + QByteArray(16, 0) + field("n") + le32(0) + le32(0),
                "PMBA: Invalid attachment size.",
                MsgIcon::Critical,
                {}},
        BadMail{"SizeNegative",
                field("PMBA") + le32(1) + QByteArray(16, 0) + field("n") + le32(-5) + le32(0),
                "PMBA: Invalid attachment size.",
                MsgIcon::Critical,
                {}},
        BadMail{"SizeBeyondTheFile",
                field("PMBA") + le32(1) + QByteArray(16, 0) + field("n") + le32(0x7FFFFFFF),
                kIncomplete,
                MsgIcon::Critical,
                {}},
        BadMail{"FieldOneOverTheLimit", field("PMBA") + le32(1) + le32(P::kMaxTextField + 1), kLength,
                MsgIcon::Critical, "PMBA"},
        BadMail{"FieldNegative", field("PMBA") + le32(1) + le32(-1), kLength, MsgIcon::Critical, "PMBA"},
        BadMail{"FieldLongerThanTheRest", field("PMBA") + le32(1) + le32(100) + "abc",
                P::kDecodingErrorPrefix + P::kIncompleteText, MsgIcon::Critical, "PMBA"},
        BadMail{"EmptyFile",
                {},
                P::kDecodingErrorPrefix + "Unexpected end of the PMBA mail file.",
                MsgIcon::Critical,
                "PMBA"},
        BadMail{"NameTwoDots", withNameField(field("..")), badName("..", "it names a folder, not a file"), MsgIcon::Critical, {}},
        BadMail{"NameOneDot", withNameField(field(".")), badName(".", "it names a folder, not a file"), MsgIcon::Critical, {}},
        BadMail{"NameEmpty", withNameField(le32(0)), badName("", "it is empty"), MsgIcon::Critical, {}},
        BadMail{"NameColon", withNameField(field("c:x")), badChar("c:x", "\":\" (U+003A)"), MsgIcon::Critical, {}},
        BadMail{"NameQuestionMark", withNameField(field("a?")), badChar("a?", "\"?\" (U+003F)"), MsgIcon::Critical, {}},
        BadMail{"NameBackslash", withNameField(field("..\\x")), badChar("..\\x", "\"\\\" (U+005C)"), MsgIcon::Critical, {}},
        BadMail{"NameSlashUp", withNameField(field("../escape")), badChar("../escape", "\"/\" (U+002F)"), MsgIcon::Critical, {}},
        BadMail{"NameAbsolute", withNameField(field("/tmp/x")), badChar("/tmp/x", "\"/\" (U+002F)"), MsgIcon::Critical, {}},
        BadMail{"NameWithNul", withNameField(field(QByteArray("a\0b", 3))), badName("a\\x00b", "it holds the control character U+0000"), MsgIcon::Critical, {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PmbaFolders, CutShortAnywhereIsRefusedAndInsideDataOrChecksumSaysIncomplete)
{
    for (qsizetype keep = 0; keep < kGood.size(); ++keep) {
        const QString mail = put("cut.pmb", kGood.left(keep));
        const Result<P::DecodedPmbaMail> r = P::PMBA_DecodeBinaryMail(mail, out());
        ASSERT_FALSE(r.ok()) << keep;
        ASSERT_TRUE(r.box()) << keep;
        if (keep >= kDataAt) {
            EXPECT_EQ(r.box()->text, kIncomplete) << keep;
        }
        ASSERT_EQ(entries(out()), QStringList()) << keep;
    }
}

TEST_F(PmbaFolders, NamesWithSpacesHyphensAndDotsAreAccepted)
{
    // Inside a name, that is: a leading dot or "-" is refused (see the receivers' table).
    for (const char* name : {"my file.txt", "a-b", "archive.tar.gz", "x", "CONSOLE.TXT", "com10"}) {
        EXPECT_TRUE(P::PMBA_DecodeBinaryMail(put("m.pmb", handMail(name, "d")), out()).ok()) << name;
    }
}

TEST_F(PmbaFolders, MissingMailOrFolderIsRefusedBeforeOpening)
{
    const QString mail = put("m.pmb", kGood);
    Result<P::DecodedPmbaMail> r = P::PMBA_DecodeBinaryMail(in() + "/absent.pmb", out());
    ASSERT_TRUE(r.box());
    EXPECT_EQ(r.box()->text, "PMBA: Binary mail file not found.");
    EXPECT_EQ(r.box()->icon, MsgIcon::Exclamation);
    r = P::PMBA_DecodeBinaryMail(mail, dir.filePath("nowhere"));
    ASSERT_TRUE(r.box());
    EXPECT_EQ(r.box()->text, "PMBA: Output folder not found.");
}

TEST_F(PmbaFolders, UnwritableAttachmentIsAnErrorAndLeavesNothingBehind)
{
    // A folder in the way of the attachment's name cannot be replaced by a file.
    QDir(out()).mkdir("n.bin");
    const Result<P::DecodedPmbaMail> r = P::PMBA_DecodeBinaryMail(put("m.pmb", kGood), out());
    EXPECT_FALSE(r.ok());
    ASSERT_TRUE(r.box());
    EXPECT_TRUE(r.box()->text.startsWith(P::kDecodingErrorPrefix)) << r.box()->text.toStdString();
    EXPECT_EQ(r.box()->title, "PMBA");
    EXPECT_EQ(entries(out()), QStringList{"n.bin"});
}

TEST(PmbaDetect, NeedsEightBytesBeginningWithTheSignature)
{
    QTemporaryDir dir;
    const struct {
        QByteArray bytes;
        bool pmba;
    } cases[] = {
        {le32(4) + "PMBA", true},  {le32(4) + "PMB", false}, // 7 bytes
        {le32(4) + "pmba", false}, {le32(5) + "PMBA", false}, {{}, false},
    };
    for (const auto& c : cases) {
        const QString path = dir.filePath("f");
        ASSERT_TRUE(writeAll(path, c.bytes));
        EXPECT_EQ(P::IsPMBAFile(path), c.pmba) << c.bytes.toHex().toStdString();
    }
    EXPECT_FALSE(P::IsPMBAFile(dir.filePath("absent")));
}

// ---- refusals of the writer --------------------------------------------------

TEST_F(PmbaFolders, WriterRefusesWhatNoReaderWouldAcceptAndWritesNothing)
{
    const QString mail = out() + "/m.pmb";
    const QString good = put("ok.bin", "data");
    const struct {
        QString attachment;
        QString to;
        QString text;
    } cases[] = {
        {in() + "/absent", {}, "PMBA: Attachment not found."},
        {put(".hidden", "data"), {}, "PMBA: Attachment not found."},
        {in(), {}, "PMBA: Attachment not found."},
        {put("empty", {}), {}, "PMBA: Attachment is empty."},
        {put("a:b", "data"), {}, "PMBA: Invalid attachment filename."},
        {good, QString(P::kMaxTextField + 1, u'x'), "PMBA: A text field is longer than 1,048,576 bytes."},
    };
    for (const auto& c : cases) {
        const Result<qint64> r = P::PMBA_CreateBinaryMail(c.attachment, mail, c.to, {}, {}, {});
        EXPECT_FALSE(r.ok()) << c.attachment.toStdString();
        ASSERT_TRUE(r.box());
        EXPECT_TRUE(r.box()->text.startsWith(c.text)) << r.box()->text.toStdString();
        EXPECT_EQ(entries(out()), QStringList());
    }
}

TEST_F(PmbaFolders, WriterNeverOverwritesAnExistingMail)
{
    const QString mail = out() + "/m.pmb";
    ASSERT_TRUE(writeAll(mail, "being transmitted"));
    const Result<qint64> r = P::PMBA_CreateBinaryMail(put("a", "data"), mail, {}, {}, {}, {});
    EXPECT_FALSE(r.ok());
    ASSERT_TRUE(r.box());
    EXPECT_TRUE(r.box()->text.startsWith(P::kWriteErrorPrefix));
    EXPECT_EQ(readAll(mail), "being transmitted");
    EXPECT_EQ(entries(out()), QStringList{"m.pmb"});
}

