// The one safe path of every whole-file writer and of the appending writers.

#include "platform/AtomicFile.h"
#include "platform/SafeFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace tolvan;

namespace {

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeAll(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

unsigned modeOf(const QString& path)
{
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 07777 : 0xFFFF;
}

// Every writer: the description of its failure, or empty.
struct Writer {
    const char* label;
    std::function<QString(const QString& path, const QByteArray& bytes)> write;
};

const Writer kWriters[] = {
    {"Replace", [](const QString& p,
                   const QByteArray& b) { return AtomicFile::writeWhole(p, b, AtomicFile::Mode::Replace).error(); }},
    {"NoReplace",
     [](const QString& p, const QByteArray& b) {
         return AtomicFile::writeWhole(p, b, AtomicFile::Mode::NoReplace).error();
     }},
    {"SafeReplace", [](const QString& p, const QByteArray& b) { return SafeFile::replace(p, b).error(); }},
    {"SafeAppend", [](const QString& p, const QByteArray& b) { return SafeFile::append(p, b).error(); }},
};

class EveryWriter : public ::testing::TestWithParam<Writer> {
protected:
    QTemporaryDir dir;
    QString folder() const { return dir.filePath("f"); }
    void SetUp() override { ASSERT_TRUE(QDir().mkpath(folder())); }
};

TEST_P(EveryWriter, NeverWritesThroughALinkAtItsName)
{
    for (const bool dangling : {true, false}) {
        SCOPED_TRACE(dangling ? "dangling link" : "link to a file");
        const QString target = dir.filePath(dangling ? "absent" : "victim");
        if (!dangling) {
            writeAll(target, "keep");
        }
        const QString link = folder() + "/name";
        QFile::remove(link);
        ASSERT_TRUE(QFile::link(target, link));
        const QString error = GetParam().write(link, "new");
        EXPECT_TRUE(error.contains("symbolic link")) << error.toStdString();
        EXPECT_TRUE(error.contains(link));
        EXPECT_EQ(QFileInfo::exists(target), !dangling);
        EXPECT_EQ(readAll(target), dangling ? "" : "keep");
        EXPECT_EQ(entries(folder()), QStringList{"name"});
    }
}

TEST_P(EveryWriter, RefusesAFolderInTheWay)
{
    ASSERT_TRUE(QDir().mkpath(folder() + "/name"));
    EXPECT_FALSE(GetParam().write(folder() + "/name", "new").isEmpty());
    EXPECT_EQ(entries(folder()), QStringList{"name"});
}

TEST_P(EveryWriter, AFileSizeLimitIsAShortWriteThatLeavesNoTemporaryFile)
{
    // With SIGXFSZ ignored, as the executables do, the limit comes back as a
    // short write; a buffered flush would take it for success.
    const QString path = folder() + "/name";
    const QByteArray bytes(10000, 'x');
    struct rlimit old {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    struct rlimit small = old;
    small.rlim_cur = 4096;
    auto previous = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const QString error = GetParam().write(path, bytes);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previous);
    EXPECT_EQ(error,
              QStringLiteral("Only 4096 of 10000 bytes could be written to %1: the disk may be full.").arg(path));
    // The appending writer leaves what it wrote for its caller to take back.
    const bool appends = QByteArrayView(GetParam().label) == "SafeAppend";
    EXPECT_EQ(entries(folder()), appends ? QStringList{"name"} : QStringList());
}

INSTANTIATE_TEST_SUITE_P(Writers, EveryWriter, ::testing::ValuesIn(kWriters),
                         [](const ::testing::TestParamInfo<Writer>& info) { return std::string(info.param.label); });

TEST(AtomicFileModes, AReplacedFilePassesOnAtMostItsReadAndWriteBits)
{
    QTemporaryDir dir;
    const struct {
        unsigned before;
        unsigned after;
    } cases[] = {{04755, 0644}, {02775, 0664}, {01777, 0666}, {0600, 0600}, {0444, 0444}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.before);
        const QString path = dir.filePath("f");
        writeAll(path, "old");
        ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), c.before), 0);
        EXPECT_TRUE(AtomicFile::writeWhole(path, "new", AtomicFile::Mode::Replace).ok());
        EXPECT_EQ(readAll(path), "new");
        EXPECT_EQ(modeOf(path), c.after);
        QFile::remove(path);
    }
    // A new file gets no execute bit whatever the umask allows.
    const mode_t mask = ::umask(0);
    EXPECT_TRUE(AtomicFile::writeWhole(dir.filePath("n"), "new", AtomicFile::Mode::NoReplace).ok());
    ::umask(mask);
    EXPECT_EQ(modeOf(dir.filePath("n")), 0666u);
}

TEST(AtomicFileWorkName, AHeldWorkFileIsLeftAloneAnAbandonedOneIsRemoved)
{
    QTemporaryDir dir;
    const QString work = dir.filePath("WORK.TMP");
    writeAll(work, "a running writer's");
    const int held = ::open(QFile::encodeName(work).constData(), O_RDONLY);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    {
        AtomicFile file(dir.filePath("out"), AtomicFile::Mode::NoReplace, work);
        EXPECT_FALSE(file.open());
        EXPECT_EQ(file.failure(), AtomicFile::Failure::Exists);
    }
    EXPECT_EQ(readAll(work), "a running writer's");

    // Its writer was killed: nobody holds it any more.
    ::close(held);
    AtomicFile file(dir.filePath("out"), AtomicFile::Mode::NoReplace, work);
    ASSERT_TRUE(file.open());
    // While this writer runs, a second one is turned away.
    AtomicFile second(dir.filePath("out2"), AtomicFile::Mode::NoReplace, work);
    EXPECT_FALSE(second.open());
    ASSERT_TRUE(file.write("abc"));
    EXPECT_EQ(readAll(work), "abc");
    ASSERT_TRUE(file.commit());
    EXPECT_EQ(entries(dir.path()), QStringList{"out"});

    // Anything but a regular file at the work name is never removed.
    ASSERT_TRUE(QDir().mkpath(work));
    AtomicFile blocked(dir.filePath("out3"), AtomicFile::Mode::NoReplace, work);
    EXPECT_FALSE(blocked.open());
    EXPECT_TRUE(QFileInfo(work).isDir());
}

TEST(AtomicFileLeftovers, AWriterRemovesItsOwnDayOldTemporaryFiles)
{
    QTemporaryDir dir;
    const QString stale = dir.filePath(".tolvan-00112233445566aa.part");
    const QString fresh = dir.filePath(".tolvan-00112233445566bb.part");
    const QString notOurs = dir.filePath(".tolvan-notours.part");
    for (const QString& path : {stale, fresh, notOurs}) {
        writeAll(path, "left by a killed writer");
    }
    const struct timespec twoDaysAgo[2] = {{::time(nullptr) - 2 * 86400, 0}, {::time(nullptr) - 2 * 86400, 0}};
    for (const QString& path : {stale, notOurs}) {
        ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), twoDaysAgo, 0), 0);
    }
    ASSERT_TRUE(AtomicFile::writeWhole(dir.filePath("out"), "new", AtomicFile::Mode::NoReplace).ok());
    EXPECT_EQ(entries(dir.path()), (QStringList{".tolvan-00112233445566bb.part", ".tolvan-notours.part", "out"}));
}

} // namespace
