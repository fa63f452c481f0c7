#include "pmba/SendEstimate.h"

#include "PmbaTestUtil.h"
#include "pmba/FileMail.h"
#include "pmba/FilePost.h"
#include "pmba/ModPMBA.h"
#include "sevenplus/Mod7plus.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace tolvan;
using namespace tolvan::test;
namespace E = tolvan::SendEstimate;

namespace {

qint64 folderBytes(const QString& folder)
{
    qint64 total = 0;
    for (const QFileInfo& f : QDir(folder).entryInfoList(QDir::Files)) {
        total += f.size();
    }
    return total;
}

struct Case {
    qint64 size;
    const char* fields; // which texts: "plain", "comma", "foreign"
};

E::Texts textsFor(const std::string& kind)
{
    if (kind == "comma") {
        return {QStringLiteral("TO: K1ABC"), QStringLiteral("From: DL2XYZ"), QStringLiteral("Subject: a, b"),
                QStringLiteral("Message: 1,2,3")};
    }
    if (kind == "foreign") {
        // Characters the code page lacks are written as one "?" each.
        return {QStringLiteral("TO: \u042F\u0449"), QStringLiteral("\u65E5\u672C"), QStringLiteral("S\u00E9"),
                QStringLiteral("\U0001F4E1 photo")};
    }
    return {QStringLiteral("TO: K1ABC"), QStringLiteral("From: DL2XYZ"), QStringLiteral("Subject: photo"),
            QStringLiteral("Message: here it is")};
}

class EstimateMatchesWriters : public ::testing::TestWithParam<Case> {};

} // namespace

// What the estimate says each writer would write is what the writer writes,
// byte for byte, or the writer's refusal word for word.
TEST_P(EstimateMatchesWriters, SizesAndRefusals)
{
    const Case c = GetParam();
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("photo.jpg"));
    QByteArray data(c.size, Qt::Uninitialized);
    for (qint64 i = 0; i < c.size; ++i) {
        data[i] = char((i * 7919) >> 3);
    }
    ASSERT_TRUE(writeAll(file, data));
    const E::Texts t = textsFor(c.fields);
    const E::Estimate e = E::EstimateFile(file, t);

    const Result<qint64> pmba =
        ModPMBA::PMBA_CreateBinaryMail(file, dir.filePath("m.pmb"), t.to, t.from, t.subject, t.message);
    EXPECT_EQ(e.pmba.ok(), pmba.ok());
    EXPECT_EQ(e.pmba.error(), pmba.error());
    if (pmba.ok()) {
        EXPECT_EQ(e.pmba->bytes, QFileInfo(dir.filePath("m.pmb")).size());
    }

    const FilePost::Fields fields{t.to, t.from, t.subject, t.message};
    if (!FilePost::FieldsWithComma(fields, QStringLiteral("photo.jpg")).isEmpty()) {
        EXPECT_FALSE(e.fileMail.ok());
        EXPECT_TRUE(e.fileMail.error().startsWith("A regular file mail cannot carry a comma")) << e.fileMail.error().toStdString();
    } else {
        const Result<qint64> mail = FileMail::Write(file, dir.filePath("f.txt"), t.to, t.from, t.subject, t.message);
        EXPECT_EQ(e.fileMail.ok(), mail.ok());
        EXPECT_EQ(e.fileMail.error(), mail.error());
        if (mail.ok()) {
            EXPECT_EQ(e.fileMail->bytes, QFileInfo(dir.filePath("f.txt")).size());
        }
    }

    const Result<QString> encoded = Mod7plus::Encode7PlusFile(file);
    EXPECT_EQ(e.sevenPlus.ok(), encoded.ok());
    if (encoded.ok()) {
        const QString out = dir.filePath("7PLUS_OUTPUT");
        EXPECT_EQ(e.sevenPlus->parts, QDir(out).entryList(QDir::Files).size());
        EXPECT_EQ(e.sevenPlus->bytes, folderBytes(out));
    } else {
        EXPECT_EQ(e.sevenPlus.error(), encoded.error());
    }
}

INSTANTIATE_TEST_SUITE_P(
    FileSizesAndTexts, EstimateMatchesWriters,
    ::testing::Values(Case{0, "plain"}, Case{1, "plain"}, Case{61, "plain"}, Case{62, "comma"}, Case{62, "plain"},
                      Case{31744, "foreign"}, Case{31745, "plain"}, Case{31745, "comma"}, Case{31745, "foreign"},
                      Case{Mod7plus::kMaxFileSize, "plain"}, Case{Mod7plus::kMaxFileSize + 1, "foreign"}));

TEST(SendEstimate, RefusedNamesGetTheWritersWordsAndNothingIsWritten)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("a,b..jpg"));
    ASSERT_TRUE(writeAll(file, "x"));
    const E::Estimate e = E::EstimateFile(file, {});
    EXPECT_FALSE(e.fileMail.ok());
    const QStringList before = entries(dir.path());
    EXPECT_EQ(E::EstimateFile(dir.filePath("missing.bin"), {}).pmba.error(), "PMBA: Attachment not found.");
    EXPECT_EQ(entries(dir.path()), before);
}

TEST(SendEstimate, AirTimeDescriptionMarksTheSmallestAndNamesRefusals)
{
    // Within a tenth of what the two modems of the test pair took.
    struct Measured {
        qint64 bytes;
        int baud;
        double seconds;
    };
    for (const Measured m : {Measured{2048, 1200, 19.55}, Measured{20480, 1200, 168.17},
                             Measured{102400, 1200, 834.78}, Measured{2048, 9600, 5.88},
                             Measured{20480, 9600, 34.86}, Measured{102400, 9600, 170.33}}) {
        EXPECT_NEAR(E::AirSeconds(m.bytes, m.baud), m.seconds, m.seconds / 10) << m.bytes << " at " << m.baud;
    }
    // Speeds between and beyond the measured ones: a faster link is never slower.
    for (qsizetype i = 1; i < E::kCommonBauds.size(); ++i) {
        EXPECT_LT(E::AirSeconds(50000, E::kCommonBauds[i]), E::AirSeconds(50000, E::kCommonBauds[i - 1]));
    }
    EXPECT_DOUBLE_EQ(E::AirSeconds(1200, 0), 0);
    EXPECT_EQ(E::FormatDuration(12.1), "13 s");
    EXPECT_EQ(E::FormatDuration(185), "3 min 05 s");
    EXPECT_EQ(E::FormatDuration(3600 + 61), "1 h 02 min");

    E::Estimate e;
    e.pmba = E::Form{1000, 0};
    e.fileMail = Fail(QStringLiteral("A regular file mail cannot carry a comma.\nmore"));
    e.sevenPlus = E::Form{900, 1};
    const QStringList lines = E::DescribeLines(e, 1200);
    ASSERT_EQ(lines.size(), 3);
    EXPECT_FALSE(lines[0].contains("smallest"));
    EXPECT_EQ(lines[1], "Regular file mail: not possible (A regular file mail cannot carry a comma.)");
    EXPECT_EQ(lines[2], "7PLUS set: 900 bytes in 1 part, about 10 s at 1200 baud  \u2190 smallest");
}

TEST(SendEstimate, LinkSpeedIsStoredInsideTheStationFolder)
{
    QTemporaryDir dir;
    ConfigStore store(dir.path() + "/station");
    QDir(dir.path()).mkdir("station");
    EXPECT_EQ(E::ReadBaud(store), E::kDefaultBaud);
    ASSERT_TRUE(E::WriteBaud(store, 9600).ok());
    EXPECT_TRUE(QFileInfo::exists(dir.path() + "/station/baud.dat"));
    EXPECT_EQ(E::ReadBaud(store), 9600);
    for (const char* bad : {"", "fast", "-300", "0"}) {
        EXPECT_EQ(E::ParseBaud(QString::fromLatin1(bad)), 0) << bad;
    }
    EXPECT_EQ(E::ParseBaud(" 38400 "), 38400);
}
