#include "SevenPlusTestUtil.h"

#include "sevenplus/SevenPlusPost.h"
#include "sevenplus/SevenPlusSets.h"

#include <QFileInfo>

using namespace tolvan;
using namespace tolvan::Mod7plus;
using namespace tolvan::sevenplus_test;

namespace {

// Encodes `size` random bytes as PHOTO.JPG in its own folder and returns the
// folder holding the parts (PHOTO.P01 ...).
QString encodePhoto(const QTemporaryDir& dir, const QString& sub, qint64 size, quint32 seed)
{
    const QString folder = dir.path() + '/' + sub;
    QDir().mkpath(folder);
    writeFile(folder + "/photo.jpg", randomBytes(size, seed));
    QString msg;
    EXPECT_TRUE(reported(Encode7PlusFile(folder + "/photo.jpg"), msg)) << msg.toStdString();
    return folder + "/7PLUS_OUTPUT";
}

} // namespace

// Parts arrive one by one in a scrambled order: four parts of a 100 kB photo
// (part 3 arrives with a broken header, part 2 last with one byte changed in
// the middle of a line, which its line sums catch), and two parts of
// another, smaller PHOTO.JPG renamed in lower case by the packet program.
// After every arrival the collector's view is checked, and a set is reported
// complete exactly once.
TEST(SevenPlusSetCollector, FollowsSetsPartByPart)
{
    QTemporaryDir dir;
    const QString big = encodePhoto(dir, "a", 100000, 1);  // 4 parts
    const QString small = encodePhoto(dir, "b", 40000, 2); // 2 parts
    const QString rx = dir.path() + "/rx";
    QDir().mkpath(rx);
    QDir().mkpath(rx + "/7PLUS_RECEIVED"); // folders are no parts
    writeFile(rx + "/MAIL - 1.txt", "72,73\r\n");

    struct Step {
        QString from;
        QString as;
        int damageAt; // the byte changed, or -1
        QStringList lines;
        QStringList completed;
    };
    const QString big4 = "PHOTO.JPG \u2014 %1 of 4 parts, %2";
    const QString small2 = "PHOTO.JPG \u2014 %1 of 2 parts, %2";
    const QString damaged = "PHOTO.P03 \u2014 damaged 7PLUS part (bad header)";
    const QString damagedLine = "PHOTO.P02 \u2014 damaged 7PLUS part (line 5 fails its check)";
    const QList<Step> steps = {
        {big + "/PHOTO.P04", "PHOTO.P04", -1, {big4.arg(1).arg("waiting for 1, 2 and 3")}, {}},
        {small + "/PHOTO.P02",
         "photo2.p02",
         -1,
         {big4.arg(1).arg("waiting for 1, 2 and 3"), small2.arg(1).arg("waiting for 1")},
         {}},
        {big + "/PHOTO.P01",
         "PHOTO.P01",
         -1,
         {big4.arg(2).arg("waiting for 2 and 3"), small2.arg(1).arg("waiting for 1")},
         {}},
        {big + "/PHOTO.P03",
         "PHOTO.P03",
         10, // breaks the header's check characters
         {big4.arg(2).arg("waiting for 2 and 3"), small2.arg(1).arg("waiting for 1"), damaged},
         {}},
        {small + "/PHOTO.P01",
         "photo2.p01",
         -1,
         {big4.arg(2).arg("waiting for 2 and 3"), small2.arg(2).arg("complete"), damaged},
         {"PHOTO.JPG 40000"}},
        {big + "/PHOTO.P02",
         "PHOTO.P02",
         71 * 6 + 30, // a data character of line 5
         {big4.arg(2).arg("waiting for 2 and 3"), small2.arg(2).arg("complete"), damagedLine, damaged},
         {}},
    };

    SevenPlusSets::Collector collector;
    EXPECT_TRUE(collector.Refresh(rx).isEmpty());
    for (const Step& step : steps) {
        SCOPED_TRACE(step.as.toStdString());
        QByteArray bytes = readFile(step.from);
        if (step.damageAt >= 0) {
            bytes[step.damageAt] = char(bytes[step.damageAt] ^ 0x01);
        }
        writeFile(rx + '/' + step.as, bytes);
        const QList<SevenPlusSets::Set> done = collector.Refresh(rx);
        QStringList doneNames;
        for (const auto& s : done) {
            doneNames << s.name + ' ' + QString::number(s.size);
        }
        EXPECT_EQ(doneNames, step.completed);
        QStringList lines = collector.Lines();
        EXPECT_EQ(lines, step.lines);
        // Another tick with nothing new reports nothing and reads no header.
        const int reads = collector.headerReads();
        EXPECT_TRUE(collector.Refresh(rx).isEmpty());
        EXPECT_EQ(collector.headerReads(), reads);
    }

    const SevenPlusSets::Set* set = collector.SetOf("photo2.p01");
    ASSERT_NE(set, nullptr);
    EXPECT_EQ(set->part1(), "photo2.p01");
    EXPECT_EQ(collector.damaged(), (QStringList{"PHOTO.P02", "PHOTO.P03"}));
    EXPECT_EQ(collector.SetOf("PHOTO.P03"), nullptr);
    EXPECT_EQ(collector.SetOf("PHOTO.P02"), nullptr);
    // A damaged file belongs to the set whose parts share its base name.
    EXPECT_EQ(collector.SetByKey(set->key()), set);
    EXPECT_TRUE(collector.DamagedOf(*set).isEmpty());
    const SevenPlusSets::Set* bigSet = collector.SetOf("PHOTO.P01");
    ASSERT_NE(bigSet, nullptr);
    EXPECT_EQ(collector.DamagedOf(*bigSet), (QStringList{"PHOTO.P02", "PHOTO.P03"}));
    EXPECT_EQ(collector.SetOf("MAIL - 1.txt"), nullptr);
}

TEST(SevenPlusSetCollector, AFileStillArrivingIsLeftOutUntilWhole)
{
    QTemporaryDir dir;
    const QString parts = encodePhoto(dir, "a", 1000, 3);
    const QByteArray part = readFile(parts + "/PHOTO.P01");
    writeFile(dir.path() + "/PHOTO.P01", part.left(40)); // cut inside the header
    SevenPlusSets::Collector collector;
    collector.Refresh(dir.path(), [](const QString&) { return true; });
    EXPECT_TRUE(collector.Lines().isEmpty());
    writeFile(dir.path() + "/PHOTO.P01", part);
    const auto done = collector.Refresh(dir.path(), [](const QString&) { return false; });
    ASSERT_EQ(done.size(), 1);
    EXPECT_EQ(collector.Lines(), QStringList{"PHOTO.JPG \u2014 1 of 1 parts, complete"});
}

struct RequestCase {
    QList<int> parts;
    QStringList damaged;
    QString subject;
    QString message;
};

class SevenPlusPartRequest : public ::testing::TestWithParam<RequestCase> {};

TEST_P(SevenPlusPartRequest, NamesThePartsToSendAgain)
{
    SevenPlusSets::Set set{"PHOTO.JPG", 100000, 4, {{1, "photo.p01"}, {4, "photo.p04"}}};
    const SevenPlusSets::Request r = SevenPlusSets::AskForParts(set, GetParam().parts, GetParam().damaged);
    EXPECT_EQ(r.subject, GetParam().subject);
    EXPECT_EQ(r.message, GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SevenPlusPartRequest,
    ::testing::Values(
        RequestCase{{3},
                    {},
                    "7PLUS PHOTO.JPG: please send again part 3",
                    "Please send again these 7PLUS parts of PHOTO.JPG (100000 bytes, 4 parts):\nphoto.P03"},
        RequestCase{{3, 2, 3},
                    {"photo.p03"},
                    "7PLUS PHOTO.JPG: please send again parts 2 and 3",
                    "Please send again these 7PLUS parts of PHOTO.JPG (100000 bytes, 4 parts):\nphoto.P02\nphoto.P03\n"
                    "\nThese arrived damaged: photo.p03"}));

// Posting a set: the parts move into the destination's sub-folder of the send
// folder under free names; a refusal or a failure on the way posts nothing
// and leaves the set where it was.
TEST(SevenPlusPost, MovesTheSetUnderFreeNamesOrLeavesEverything)
{
    QTemporaryDir dir;
    const QString out = encodePhoto(dir, "a", 60000, 3); // 2 parts
    const QStringList parts = {out + "/PHOTO.P01", out + "/PHOTO.P02"};
    const QByteArray first = readFile(parts[0]);
    const QString send = dir.path() + "/send";
    const QString to = send + "/N0BBB-1";
    QDir().mkpath(to);
    writeFile(to + "/PHOTO.P01", "waiting from before");
    const auto listed = [&to] { return QDir(to).entryList(QDir::Files | QDir::Hidden, QDir::Name); };

    const std::pair<QString, QString> refused[] = {{"N0BBB-16", "\"N0BBB-16\" is not a call sign"},
                                                    {"N0BBB-1", "Nothing was posted"}};
    EXPECT_TRUE(PostSevenPlusParts(parts, dir.path() + "/nosuch", "N0BBB-1").error().contains("does not exist"));
    for (const auto& [call, why] : refused) {
        // The second refusal: a part vanished from the set (read fails half way).
        const QStringList asked = call == "N0BBB-1" ? QStringList{parts[0], out + "/PHOTO.P09"} : parts;
        const Result<QStringList> r = PostSevenPlusParts(asked, send, call);
        ASSERT_FALSE(r.ok()) << call.toStdString();
        EXPECT_TRUE(r.error().startsWith(why)) << r.error().toStdString();
        EXPECT_EQ(listed(), QStringList{"PHOTO.P01"});
        EXPECT_TRUE(QFileInfo::exists(parts[0]) && QFileInfo::exists(parts[1]));
    }

    const Result<QStringList> posted = PostSevenPlusParts(parts, send, " n0bbb-1 ");
    ASSERT_TRUE(posted.ok()) << posted.error().toStdString();
    EXPECT_EQ(posted.value(), (QStringList{to + "/PHOTO (1).P01", to + "/PHOTO.P02"}));
    EXPECT_EQ(listed(), (QStringList{"PHOTO (1).P01", "PHOTO.P01", "PHOTO.P02"}));
    EXPECT_EQ(readFile(to + "/PHOTO.P01"), "waiting from before");
    EXPECT_EQ(readFile(to + "/PHOTO (1).P01"), first);
    EXPECT_FALSE(QFileInfo::exists(parts[0]) || QFileInfo::exists(parts[1]));

    // SSID 0 is the bare call, as the TNC names it.
    const QString again = encodePhoto(dir, "b", 100, 4);
    ASSERT_TRUE(PostSevenPlusParts({again + "/PHOTO.P01"}, send, "n0ccc-0").ok());
    EXPECT_TRUE(QFileInfo::exists(send + "/N0CCC/PHOTO.P01"));
}
