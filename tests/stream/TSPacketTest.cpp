#include "stream/TSPacket.h"

#include <gtest/gtest.h>

#include "si/Section.h"
#include "stream/TransportStream.h"
#include "tools/TestStream.h"

namespace {

using tsgen::Bytes;
using tsgen::CStreamBuilder;

// Every result of ReadNext() up to and including TSP_END.
std::vector<int> Frame(const Bytes& data, std::vector<Bytes>* packets = nullptr) {
    CMemoryStream source(data.data(), data.size());
    CTSPacket framer;
    framer.m_pStream = &source;
    std::vector<int> results;
    for (;;) {
        const int r = framer.ReadNext();
        results.push_back(r);
        if (r & TSP_END) break;
        if (packets) {
            const int n = (r & TSP_SIZE_204) ? 204 : 188;
            packets->emplace_back(framer.m_packet, framer.m_packet + n);
        }
    }
    ResetTables();
    return results;
}

Bytes Clean(int size, int packets) {
    CStreamBuilder b(size);
    for (int i = 0; i < packets; ++i) b.AddFiller(0x100 + i % 3);
    return b.Data();
}

std::vector<int> Repeat(int value, int n, int last = TSP_END) {
    std::vector<int> v(static_cast<size_t>(n), value);
    v.push_back(last);
    return v;
}

TEST(CTSPacketTest, CleanStreamsOfEachSize) {
    struct Case {
        int size;
        std::vector<int> expected;
    };
    const Case cases[] = {
        {188, Repeat(TSP_SIZE_188, 50)},
        // The first prefix of a 192-byte stream is skipped as lost sync.
        {192, [] {
             auto v = Repeat(TSP_SIZE_192, 50);
             v[0] |= TSP_SYNC_ERROR;
             return v;
         }()},
        {204, Repeat(TSP_SIZE_204, 50)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.size);
        const Bytes data = Clean(c.size, 50);
        std::vector<Bytes> packets;
        EXPECT_EQ(c.expected, Frame(data, &packets));
        ASSERT_EQ(50u, packets.size());
        // Every packet comes out byte for byte, the 204-byte trailer included.
        const size_t stride = static_cast<size_t>(c.size);
        const size_t skip = c.size == 192 ? 4 : 0;
        for (size_t i = 0; i < packets.size(); ++i) {
            EXPECT_TRUE(std::equal(packets[i].begin(), packets[i].end(), data.begin() + i * stride + skip));
        }
    }
}

TEST(CTSPacketTest, CleanStreamOfNPacketsGivesExactlyN) {
    // Larger than the input ring, so the ring wraps many times.
    const int n = 30000;
    const auto r = Frame(Clean(188, n));
    EXPECT_EQ(Repeat(TSP_SIZE_188, n), r);
}

TEST(CTSPacketTest, OnePacketIsTakenFor192AndEmptyInputEnds) {
    EXPECT_EQ((std::vector<int>{TSP_SIZE_192, TSP_END}), Frame(Clean(188, 1)));
    EXPECT_EQ((std::vector<int>{TSP_END}), Frame({}));
    EXPECT_EQ((std::vector<int>{TSP_SIZE_188, TSP_SIZE_188, TSP_END}), Frame(Clean(188, 2)));
}

TEST(CTSPacketTest, TrailingBytesAfterWholePackets) {
    for (int r = 1; r <= 187; ++r) {
        SCOPED_TRACE(r);
        Bytes data = Clean(188, 10);
        Bytes tail(static_cast<size_t>(r), 0x11);
        if (r != 16) {
            // A cut-off packet starting with its sync byte, or plain garbage.
            for (const bool cutPacket : {true, false}) {
                Bytes d = data;
                tail[0] = cutPacket ? 0x47 : 0x11;
                d.insert(d.end(), tail.begin(), tail.end());
                const auto res = Frame(d);
                // A cut-off packet spoils the last whole packet's tests; plain
                // garbage spoils the last two.
                const int delivered = cutPacket ? 9 : 8;
                EXPECT_EQ(Repeat(TSP_SIZE_188, delivered), res) << "cut packet " << cutPacket;
            }
        } else {
            // 16 bytes after the last packet make it a whole 204-byte packet;
            // the one before it still fails every test and is skipped.
            data.insert(data.end(), tail.begin(), tail.end());
            auto expected = Repeat(TSP_SIZE_188, 8);
            expected.insert(expected.end() - 1, TSP_SIZE_204 | TSP_SYNC_ERROR);
            EXPECT_EQ(expected, Frame(data));
        }
    }
}

TEST(CTSPacketTest, DamagedSyncByteLosesThreePackets) {
    CStreamBuilder b(188);
    for (int i = 0; i < 20; ++i) {
        tsgen::PacketFaults f;
        f.badSync = i == 10;
        b.AddFiller(0x100, f);
    }
    auto expected = Repeat(TSP_SIZE_188, 8);  // packets 0..7
    expected.pop_back();
    // Packets 8 and 9 look two packets ahead at the damaged one; packet 10
    // itself has no sync byte; all three are skipped.
    expected.push_back(TSP_SIZE_188 | TSP_SYNC_ERROR);
    for (int i = 12; i < 20; ++i) expected.push_back(TSP_SIZE_188);
    expected.push_back(TSP_END);
    EXPECT_EQ(expected, Frame(b.Data()));
}

TEST(CTSPacketTest, StraySyncByteNeedsTwoMoreToBeABoundary) {
    // Garbage holding a 0x47 whose followers are not sync bytes.
    CStreamBuilder b(188);
    for (int i = 0; i < 5; ++i) b.AddFiller(0x100);
    b.AddRaw({0x00, 0x47, 0x00, 0x12});
    for (int i = 0; i < 5; ++i) b.AddFiller(0x100);
    auto expected = Repeat(TSP_SIZE_188, 3);  // the two before the garbage are lost
    expected.insert(expected.end() - 1, TSP_SIZE_188 | TSP_SYNC_ERROR);
    for (int i = 0; i < 4; ++i) expected.insert(expected.end() - 1, TSP_SIZE_188);
    EXPECT_EQ(expected, Frame(b.Data()));
}

TEST(CTSPacketTest, SizeChangeFrom188To204) {
    CStreamBuilder a(188), c(204);
    for (int i = 0; i < 6; ++i) a.AddFiller(0x100);
    for (int i = 0; i < 6; ++i) c.AddFiller(0x100);
    Bytes d = a.Data();
    d.insert(d.end(), c.Data().begin(), c.Data().end());
    // The last 188-byte packet looks for a sync byte 376 bytes on and fails.
    auto expected = Repeat(TSP_SIZE_188, 5);
    expected.insert(expected.end() - 1, TSP_SIZE_204 | TSP_SYNC_ERROR);
    for (int i = 0; i < 5; ++i) expected.insert(expected.end() - 1, TSP_SIZE_204);
    EXPECT_EQ(expected, Frame(d));
}

TEST(CTSPacketTest, PrefixOf192IsSkippedOnceAndCutPrefixAtEnd) {
    Bytes d = Clean(192, 4);
    d.insert(d.end(), {0x00, 0x01});  // the start of a next prefix
    const auto r = Frame(d);
    // The packet before the two bytes cannot be proven (the input ends
    // neither after it nor 192 bytes on), so it is skipped with them.
    ASSERT_FALSE(r.empty());
    EXPECT_EQ(TSP_END, r.back());
    EXPECT_EQ(TSP_SIZE_192 | TSP_SYNC_ERROR, r.front());
}

TEST(CTSPacketTest, AllGarbageEndsWithoutPacket) {
    for (uint8_t fill : {uint8_t(0x00), uint8_t(0xFF), uint8_t(0x47)}) {
        SCOPED_TRACE(int(fill));
        const Bytes d(5000, fill);
        const auto r = Frame(d);
        if (fill == 0x47) {
            // Every byte is a sync byte: every look-ahead passes.
            EXPECT_GT(r.size(), 1u);
        } else {
            EXPECT_EQ((std::vector<int>{TSP_END}), r);
        }
    }
}

}  // namespace
