#include "pmba/FileMail.h"

#include "PmbaTestUtil.h"
#include "platform/AnsiCodec.h"
#include "platform/fake/FakePlatform.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace tolvan;
using namespace tolvan::test;
namespace F = tolvan::FileMail;

namespace {

// A file mail built from its inner text, as the sending station writes it.
QByteArray outer(const QString& inner)
{
    return Ansi::encode(inner).toBase64() + "\r\n";
}

QByteArray breakLines(const QByteArray& text, int every, const QByteArray& lineEnd)
{
    QByteArray out;
    for (qsizetype i = 0; i < text.size(); i += every) {
        out += text.mid(i, every) + lineEnd;
    }
    return out;
}

} // namespace

TEST(FileMailBase64, AcceptsLineBreaksAnywhereAndRefusesForeignCharacters)
{
    const QByteArray data("any carnal pleasure.\x01\xff", 22);
    const QByteArray plain = data.toBase64();
    for (const QByteArray& text :
         {plain, breakLines(plain, 1, "\r\n"), breakLines(plain, 3, "\n"), breakLines(plain, 76, "\r\n") + "\r\n"}) {
        const auto decoded = F::Base64DecodeBytes(QString::fromLatin1(text));
        ASSERT_TRUE(decoded) << text.toStdString();
        EXPECT_EQ(*decoded, data);
    }
    for (const char* bad : {"QQ=!", "QUJD*", "data.bin", "QQ=A"}) {
        EXPECT_FALSE(F::Base64DecodeBytes(QString::fromLatin1(bad))) << bad;
    }
    EXPECT_EQ(F::Base64Encode(QByteArray("abc")), "YWJj");
    EXPECT_EQ(F::Base64Decode(u"gA=="), QStringLiteral("\u20AC"));
}

// The decoder must accept exactly what Qt's strict decoder accepted once
// white space was dropped, with the same bytes: every short text over
// characters that matter to padding and grouping.
TEST(FileMailBase64, DecodesExactlyAsQtsStrictDecoder)
{
    const auto reference = [](QByteArray text) -> std::optional<QByteArray> {
        for (const char space : {' ', '\t', '\r', '\n', '\f', '\v'}) {
            text.replace(space, "");
        }
        auto r = QByteArray::fromBase64Encoding(text, QByteArray::AbortOnBase64DecodingErrors);
        return r ? std::optional<QByteArray>(r.decoded) : std::nullopt;
    };
    const char pool[] = {'A', '/', 'z', '=', ' ', '\n', '*', '\x80'};
    QList<QByteArray> texts;
    for (int len = 0; len <= 5; ++len) {
        int combos = 1;
        for (int i = 0; i < len; ++i) {
            combos *= int(sizeof pool);
        }
        for (int n = 0; n < combos; ++n) {
            QByteArray t;
            for (int i = 0, k = n; i < len; ++i, k /= int(sizeof pool)) {
                t += pool[k % int(sizeof pool)];
            }
            texts << t;
        }
    }
    texts << "QUJDRA==" << "QUJDREU=" << "QUJDREVG" << "QUJDREVGRw" << "QUJD\r\nREVG\r\nRw==\r\n" << "AAAAAA=="
          << "AAAAAAA=" << "AAAAA===" << "AAAAAA= =" << "AA\t==\f\v";
    for (const QByteArray& t : texts) {
        const auto expected = reference(t);
        EXPECT_EQ(F::Base64DecodeBytes(QByteArrayView(t)), expected) << t.toHex().toStdString();
        EXPECT_EQ(F::Base64DecodeBytes(QString::fromLatin1(t)), expected) << t.toHex().toStdString();
    }
}

TEST(FileMailBase64, EncodesAsQtForEveryTailLength)
{
    QByteArray data;
    for (int i = 0; i < 300; ++i) {
        data += char(i * 37 + 11);
        EXPECT_EQ(F::Base64Encode(data), QString::fromLatin1(data.toBase64()));
    }
}

TEST(FileMailFormat, IsBase64OfTheCommaJoinedInnerTextWithCrLf)
{
    const F::Mail mail{"Your Message: hi", "Subject: x", "To: A", "From: B", "f.bin", QByteArray("\0\1", 2)};
    EXPECT_EQ(F::Build(mail), outer("Your Message: hi,Subject: x,To: A,From: B,f.bin,AAE="));
    const Result<F::Mail> r = F::Parse(F::Build(mail));
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r->message, mail.message);
    EXPECT_EQ(r->subject, mail.subject);
    EXPECT_EQ(r->to, mail.to);
    EXPECT_EQ(r->from, mail.from);
    EXPECT_EQ(r->fileName, mail.fileName);
    EXPECT_EQ(r->data, mail.data);
}

// Mails of several megabytes are coded piece by piece: groups split across
// pieces and line breaks at any place must not change a byte.
TEST(FileMailFormat, LargeMailsKeepTheFormatAcrossPieces)
{
    QByteArray data(2500001, Qt::Uninitialized);
    for (qsizetype i = 0; i < data.size(); ++i) {
        data[i] = char((i * 7919) >> 3);
    }
    const F::Mail mail{"Mé", "S", "T", "F", "big.bin", data};
    const QByteArray built = F::Build(mail);
    ASSERT_EQ(built, outer(QStringLiteral("Mé,S,T,F,big.bin,") + QString::fromLatin1(data.toBase64())));
    for (const QByteArray& content : {built, breakLines(built.chopped(2), 77, "\r\n")}) {
        const Result<F::Mail> r = F::Parse(content);
        ASSERT_TRUE(r.ok());
        EXPECT_EQ(r->message, mail.message);
        EXPECT_EQ(r->fileName, mail.fileName);
        EXPECT_TRUE(r->data == data);
    }
}

struct ParseCase {
    const char* name;
    QByteArray content;
    bool ok;
    QString message; // the box text on failure, the parsed Message on success
};

void PrintTo(const ParseCase& c, std::ostream* os)
{
    *os << c.name;
}

class FileMailParse : public ::testing::TestWithParam<ParseCase> {};

TEST_P(FileMailParse, ReadsOrRefusesWithAClearMessage)
{
    const ParseCase& c = GetParam();
    const Result<F::Mail> r = F::Parse(c.content);
    EXPECT_EQ(r.ok(), c.ok);
    if (c.ok) {
        EXPECT_EQ(r->message, c.message);
        EXPECT_FALSE(r.box());
    } else {
        ASSERT_TRUE(r.box());
        EXPECT_EQ(r.box()->text, c.message);
        EXPECT_EQ(r.box()->icon, MsgIcon::Critical);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Reader, FileMailParse,
    ::testing::Values(
        ParseCase{"ExtraPiecesIgnored", outer("m,s,t,f,n.txt,YQ==,more,more"), true, "m"},
        ParseCase{"SixthPieceEmptyGivesEmptyFile", outer("m,s,t,f,n.txt,"), true, "m"},
        ParseCase{"OuterBrokenIntoLines", breakLines(Ansi::encode(u"m,s,t,f,n.txt,YQ==").toBase64(), 4, "\r\n"), true,
                  "m"},
        ParseCase{"FivePieces", outer("m,s,t,f,n.txt"), false, "Error: Decoded data format is incorrect!"},
        ParseCase{"NotBase64", "this is not base64!\r\n", false, "Error: The file mail is not valid Base64 text!"},
        ParseCase{"EmptyFile", {}, false, "Error: Decoded data format is incorrect!"},
        // A comma in Message shifts every field: the name becomes the From text
        // and the data the real file name, which is no Base64.
        ParseCase{"CommaInMessage", outer("a,b,s,t,f,n.txt,YQ=="), false,
                  "Error: The attached file is not valid Base64 data!"},
        ParseCase{"NameClimbsOut", outer("m,s,t,f,../../.bashrc,YQ=="), false,
                  "Error: The file name in this mail is not valid: \"../../.bashrc\"\n"
                  "(it holds the character \"/\" (U+002F), which no file name may hold)"},
        ParseCase{"NameWithBackslash", outer("m,s,t,f,..\\x,YQ=="), false,
                  "Error: The file name in this mail is not valid: \"..\\x\"\n"
                  "(it holds the character \"\\\" (U+005C), which no file name may hold)"},
        ParseCase{"NameEmpty", outer("m,s,t,f,,YQ=="), false,
                  "Error: The file name in this mail is not valid: \"\"\n(it is empty)"},
        // The outer text is checked to its end before any field.
        ParseCase{"BadDataAndBadOuterEnd", outer("m,s,t,f,n.txt,Y*Q==") + "QQ=A", false,
                  "Error: The file mail is not valid Base64 text!"},
        ParseCase{"DataPaddingInTheMiddle", outer("m,s,t,f,n.txt,YQ==YQ=="), false,
                  "Error: The attached file is not valid Base64 data!"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FileMailParse, AMailCutAnywhereIsRefused)
{
    // A cut mail must never give a shorter file taken for the whole one, at
    // any cut point, the line end included.
    F::Mail mail{"m", "s", "t", "f", "n.bin", QByteArray(300, '\x5a')};
    const QByteArray whole = F::Build(mail);
    ASSERT_TRUE(F::Parse(whole).ok());
    for (qsizetype cut = 1; cut < whole.size(); ++cut) {
        EXPECT_FALSE(F::Parse(whole.first(cut)).ok()) << "cut to " << cut << " of " << whole.size() << " bytes";
    }
}

class FileMailFolders : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path(const QString& name) const { return dir.filePath(name); }
};

TEST_F(FileMailFolders, WriteThenReadRoundTrips)
{
    ASSERT_TRUE(writeAll(path("notes.txt"), "line\r\nline\xe9"));
    QDir(dir.path()).mkdir("send");
    const Result<qint64> w =
        F::Write(path("notes.txt"), path("send/File - 1.txt"), "To: A", "From: B", "Subj", "Msg \u00e9");
    ASSERT_TRUE(w.ok());
    EXPECT_EQ(w.value(), readAll(path("send/File - 1.txt")).size());
    EXPECT_EQ(entries(path("send")), QStringList{"File - 1.txt"});

    const Result<F::Mail> r = F::Read(path("send/File - 1.txt"));
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r->message, "Msg \u00e9");
    EXPECT_EQ(r->subject, "Subj");
    EXPECT_EQ(r->fileName, "notes.txt");
    EXPECT_EQ(r->data, "line\r\nline\xe9");

    // What cannot be read is named, with the reason.
    ASSERT_EQ(::mkfifo(QFile::encodeName(path("pipe.txt")).constData(), 0600), 0);
    EXPECT_EQ(F::Read(path("pipe.txt")).error(), "Error: The file mail cannot be read: " + path("pipe.txt")
                                                     + " is a FIFO (named pipe), not a regular file; it is not read.");
    EXPECT_EQ(F::Read(path("absent.txt")).error(),
              "Error: The file mail cannot be read: " + path("absent.txt") + ": No such file or directory");
}

TEST_F(FileMailFolders, WriterRefusesAndLeavesTheFolderAsItWas)
{
    ASSERT_TRUE(writeAll(path("ok.bin"), "data"));
    ASSERT_TRUE(writeAll(path("empty.bin"), {}));
    ASSERT_TRUE(writeAll(path("a,b.bin"), "data"));
    {
        QFile huge(path("huge.bin")); // sparse, larger than a file mail carries
        ASSERT_TRUE(huge.open(QIODevice::WriteOnly) && huge.resize(F::kMaxCarriedFileBytes + 1));
    }
    QDir(dir.path()).mkdir("send");
    ASSERT_TRUE(writeAll(path("send/taken.txt"), "first"));
    const struct {
        QString attachment;
        QString output;
        QString text;
    } cases[] = {
        {path("empty.bin"), path("send/x.txt"), "Error: File is empty or unreadable!"},
        {path("absent.bin"), path("send/x.txt"), "Error: File is empty or unreadable!"},
        {path("a,b.bin"), path("send/x.txt"), "Error: The file name \"a,b.bin\" cannot be sent"},
        {path("huge.bin"), path("send/x.txt"), "Error: " + path("huge.bin") + " is too large for a file mail"},
        {path("ok.bin"), path("send/taken.txt"), "File mail error: "},
        {path("ok.bin"), path("nowhere/x.txt"), "File mail error: "},
    };
    for (const auto& c : cases) {
        const Result<qint64> r = F::Write(c.attachment, c.output, {}, {}, {}, {});
        EXPECT_FALSE(r.ok());
        ASSERT_TRUE(r.box());
        EXPECT_TRUE(r.box()->text.startsWith(c.text)) << r.box()->text.toStdString();
    }
    EXPECT_EQ(entries(path("send")), QStringList{"taken.txt"});
    EXPECT_EQ(readAll(path("send/taken.txt")), "first");
}

TEST_F(FileMailFolders, ExistingCarriedFileIsReplacedOnlyAfterTheOperatorAgrees)
{
    const F::Mail mail{"m", "s", "t", "f", "same.txt", "new"};
    ASSERT_TRUE(writeAll(path("same.txt"), "old"));
    FakeDialogs dialogs;

    dialogs.answers.enqueue(MsgAnswer::No);
    Result<F::SavedFile> r = F::SaveCarriedFile(dialogs, mail, dir.path());
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r->status, F::SavedFile::Status::Exists);
    ASSERT_EQ(dialogs.boxes.size(), 1);
    EXPECT_EQ(dialogs.boxes[0].icon, MsgIcon::Question);
    EXPECT_EQ(dialogs.boxes[0].defaultButton, MsgAnswer::No);
    EXPECT_EQ(readAll(path("same.txt")), "old");

    dialogs.answers.enqueue(MsgAnswer::Yes);
    r = F::SaveCarriedFile(dialogs, mail, dir.path());
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r->status, F::SavedFile::Status::Saved);
    EXPECT_EQ(r->path, path("same.txt"));
    EXPECT_EQ(readAll(path("same.txt")), "new");
    EXPECT_EQ(entries(dir.path()), QStringList{"same.txt"});
}

TEST_F(FileMailFolders, NewCarriedFileIsWrittenWithoutAQuestionAndEmptyDataGivesEmptyFile)
{
    FakeDialogs dialogs;
    const Result<F::SavedFile> r =
        F::SaveCarriedFile(dialogs, F::Mail{"m", "s", "t", "f", "e.bin", {}}, dir.path() + u'/');
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r->status, F::SavedFile::Status::Saved);
    EXPECT_TRUE(dialogs.boxes.isEmpty());
    EXPECT_EQ(r->path, path("e.bin"));
    EXPECT_TRUE(QFileInfo(path("e.bin")).isFile());
    EXPECT_EQ(QFileInfo(path("e.bin")).size(), 0);
}

TEST_F(FileMailFolders, UnwritableDestinationIsAClearError)
{
    QDir(dir.path()).mkdir("x.bin"); // a folder in the way: refused without asking to replace it
    FakeDialogs dialogs;
    const Result<F::SavedFile> r = F::SaveCarriedFile(dialogs, F::Mail{"m", "s", "t", "f", "x.bin", "d"}, dir.path());
    EXPECT_FALSE(r.ok());
    ASSERT_EQ(dialogs.boxes.size(), 1);
    EXPECT_TRUE(dialogs.boxes[0].text.startsWith("Error: The received file could not be written: "));
    EXPECT_TRUE(dialogs.boxes[0].text.contains(path("x.bin")));
    EXPECT_EQ(entries(dir.path()), QStringList{"x.bin"});
}
