#include "terminal/Agw.h"

#include <gtest/gtest.h>

using namespace tolvan;

namespace {

struct KindCase {
    const char* name;
    agw::Frame frame;
};

class AgwCodecTest : public testing::TestWithParam<KindCase> {};

QList<agw::Frame> decodeAll(agw::Decoder& d)
{
    QList<agw::Frame> frames;
    while (auto f = d.next()) {
        frames << *f;
    }
    return frames;
}

} // namespace

// Every kind survives the wire whether it arrives byte by byte or joined
// with others in one read.
TEST_P(AgwCodecTest, FramesSurviveSplitAndJoinedReads)
{
    const agw::Frame& frame = GetParam().frame;
    const QByteArray wire = agw::Encode(frame);
    ASSERT_EQ(wire.size(), agw::kHeaderSize + frame.data.size());

    agw::Decoder split;
    QList<agw::Frame> got;
    for (char byte : wire) {
        split.feed(QByteArray(1, byte));
        got += decodeAll(split);
    }
    EXPECT_EQ(got, QList<agw::Frame>{frame});

    agw::Decoder joined;
    joined.feed(wire + wire + wire.left(7));
    EXPECT_EQ(decodeAll(joined), (QList<agw::Frame>{frame, frame}));
    joined.feed(wire.mid(7));
    EXPECT_EQ(decodeAll(joined), QList<agw::Frame>{frame});
    EXPECT_TRUE(joined.error().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, AgwCodecTest,
    testing::Values(KindCase{"version", agw::VersionQuery()}, KindCase{"register", agw::RegisterCall("N0AAA-1")},
                    KindCase{"connect", agw::ConnectTo(1, "N0AAA-1", "N0BBB", {})},
                    KindCase{"connectVia", agw::ConnectTo(0, "N0AAA", "N0BBB-15", {"DIGI1", "WIDE2-2"})},
                    KindCase{"data", agw::SendData(0, "N0AAA", "N0BBB", QByteArray(256, '\0'))},
                    KindCase{"disconnect", agw::DisconnectFrom(0, "N0AAA", "N0BBB")},
                    KindCase{"outstanding", agw::AskOutstanding(0, "N0AAA", "N0BBB")}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(AgwCodec, HeaderLayoutIsLittleEndianWithPaddedCalls)
{
    agw::Frame f = agw::SendData(2, "N0AAA-1", "N0BBB", "hi");
    f.user = 0x01020304;
    const QByteArray wire = agw::Encode(f);
    EXPECT_EQ(wire.at(0), 2);
    EXPECT_EQ(wire.at(4), 'D');
    EXPECT_EQ(quint8(wire.at(6)), 0xF0);
    EXPECT_EQ(wire.mid(8, 10), QByteArray("N0AAA-1\0\0\0", 10));
    EXPECT_EQ(wire.mid(18, 10), QByteArray("N0BBB\0\0\0\0\0", 10));
    EXPECT_EQ(wire.mid(28, 8), QByteArray("\x02\0\0\0\x04\x03\x02\x01", 8));
    EXPECT_EQ(wire.mid(36), "hi");
    // The via list: a count, then one 10-byte field per digipeater.
    const agw::Frame via = agw::ConnectTo(0, "A1A", "B1B", {"D1G"});
    EXPECT_EQ(via.data, QByteArray("\x01"
                                   "D1G\0\0\0\0\0\0\0",
                                   11));
    EXPECT_EQ(agw::NumberOf(QByteArray("\x07\0\0\0", 4)), 7u);
    EXPECT_FALSE(agw::NumberOf("ab"));
    EXPECT_EQ(agw::NoticeText(QByteArray("*** CONNECTED To Station N0AAA\r\0", 32)), "*** CONNECTED To Station N0AAA");
}

// A length beyond what any TNC sends breaks the stream for good instead of
// waiting for gigabytes; a header cut short just waits.
TEST(AgwCodec, OversizedLengthIsRefusedAndShortInputWaits)
{
    agw::Decoder d;
    d.feed(agw::Encode(agw::VersionQuery()).left(35));
    EXPECT_FALSE(d.next());
    EXPECT_TRUE(d.error().isEmpty());

    QByteArray huge = agw::Encode(agw::SendData(0, "A1A", "B1B", {}));
    huge[28] = char(0xFF);
    huge[31] = char(0x7F);
    agw::Decoder bad;
    bad.feed(huge + agw::Encode(agw::VersionQuery()));
    EXPECT_FALSE(bad.next());
    EXPECT_NE(bad.error().indexOf("kind 'D'"), -1) << bad.error().toStdString();
    bad.feed(agw::Encode(agw::VersionQuery()));
    EXPECT_FALSE(bad.next());
    bad.reset();
    bad.feed(agw::Encode(agw::VersionQuery()));
    EXPECT_TRUE(bad.next());

    QByteArray limit = agw::Encode(agw::SendData(0, "A1A", "B1B", QByteArray(agw::kMaxDataLength, 'x')));
    agw::Decoder fits;
    fits.feed(limit);
    EXPECT_TRUE(fits.next());
}
