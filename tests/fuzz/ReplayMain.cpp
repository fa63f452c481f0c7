// Runs a fuzz harness over its stored corpus as an ordinary test, so every
// input that once found a fault or new coverage keeps being checked.

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

TEST(FuzzCorpus, EveryStoredInputRunsCleanly)
{
    const QDir corpus(QStringLiteral(TOLVAN_FUZZ_CORPUS));
    const QStringList names = corpus.entryList(QDir::Files);
    ASSERT_FALSE(names.isEmpty()) << TOLVAN_FUZZ_CORPUS;
    for (const QString& name : names) {
        QFile f(corpus.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << name.toStdString();
        const QByteArray input = f.readAll();
        SCOPED_TRACE(name.toStdString());
        EXPECT_EQ(LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(input.constData()),
                                         std::size_t(input.size())),
                  0);
    }
}
