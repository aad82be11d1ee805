// SPDX-License-Identifier: BSD-2-Clause
#include "stream/PacketFramer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>

#include "stream/MemorySource.h"
#include "tools/TestStream.h"

namespace tsvigil {

namespace {

using tsgen::Bytes;
using tsgen::StreamBuilder;

// The flags of every packet up to the end, and kEnd's result last:
// the first of a stretch has FrameStretch()'s result, the others their
// size flag. inRuns, when given, gets the framer's bytes in runs at the end.
std::vector<int> Frame(const Bytes& data, int64_t* inRuns = nullptr) {
    MemorySource source(data.data(), data.size());
    PacketFramer framer(source);
    std::vector<int> results;
    for (;;) {
        const FrameFlags r = framer.FrameStretch();
        results.push_back(static_cast<int>(r));
        if (Any(r & FrameFlags::kEnd)) break;
        EXPECT_GE(framer.Count(), 1);
        if (inRuns) *inRuns = framer.BytesInRuns();
        results.insert(results.end(), static_cast<size_t>(framer.Count() - 1),
                       static_cast<int>(r & FrameFlags::kSizes));
    }
    return results;
}

Bytes Clean(int size, int packets) {
    StreamBuilder b(size);
    for (int i = 0; i < packets; ++i) b.AddFiller(0x100 + i % 3);
    return b.Data();
}

// Results: count packets with each flag value, in order, then last.
constexpr int k188 = static_cast<int>(FrameFlags::kSize188), k192 = static_cast<int>(FrameFlags::kSize192),
              k204 = static_cast<int>(FrameFlags::kSize204), kLost = static_cast<int>(FrameFlags::kSyncError),
              kEnd = static_cast<int>(FrameFlags::kEnd), kEndLost = kEnd | kLost;

std::vector<int> Seq(std::initializer_list<std::pair<int, int>> runs, int last = kEnd) {
    std::vector<int> v;
    for (const auto& r : runs) v.insert(v.end(), static_cast<size_t>(r.second), r.first);
    v.push_back(last);
    return v;
}

// Twenty packets of size with one damage done to packet 10.
Bytes Damaged(int size, tsgen::PacketFaults f) {
    StreamBuilder b(size);
    for (int i = 0; i < 20; ++i) b.AddFiller(0x100, i == 10 ? f : tsgen::PacketFaults{});
    return b.Data();
}
Bytes Then(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}


TEST(PacketFramerTest, FlagsOfEachDamage) {
    tsgen::PacketFaults badSync, lostBytes;
    badSync.badSync = true;
    lostBytes.lostBytes = 100;
    const Bytes cutPacket = [] {
        Bytes b(100, 0x11);
        b[0] = 0x47;
        return b;
    }();
    struct Case {
        const char* name;
        Bytes data;
        std::vector<int> expected;
    };
    const Case cases[] = {
        {"clean 188", Clean(188, 50), Seq({{k188, 50}})},
        // The first prefix of a 192-byte recording is its packet's, not lost sync.
        {"clean 192 from its first prefix", Clean(192, 50), Seq({{k192, 50}})},
        {"clean 204", Clean(204, 50), Seq({{k204, 50}})},
        {"one 188-byte packet is taken for 192", Clean(188, 1), Seq({{k192, 1}})},
        {"two 188-byte packets", Clean(188, 2), Seq({{k188, 2}})},
        {"empty input", {}, Seq({})},
        // Only the damaged packet is lost: the packets before it are proven
        // by the sync byte one or two packets on.
        {"damaged sync byte, 188", Damaged(188, badSync), Seq({{k188, 10}, {k188 | kLost, 1}, {k188, 8}})},
        {"damaged sync byte, 192", Damaged(192, badSync), Seq({{k192, 10}, {k192 | kLost, 1}, {k192, 8}})},
        {"damaged sync byte, 204", Damaged(204, badSync), Seq({{k204, 10}, {k204 | kLost, 1}, {k204, 8}})},
        {"bytes lost inside a packet", Damaged(188, lostBytes), Seq({{k188, 10}, {k188 | kLost, 1}, {k188, 8}})},
        // Whatever the input ends with that is no whole packet is lost sync
        // at the end; every whole packet before it is delivered.
        {"cut-off last packet", Then(Clean(188, 10), cutPacket), Seq({{k188, 10}}, kEndLost)},
        {"16 bytes after the last 188-byte packet", Then(Clean(188, 10), Bytes(16, 0x11)),
         Seq({{k188, 10}}, kEndLost)},
        {"1 byte after the last 192-byte packet", Then(Clean(192, 10), {0x00}), Seq({{k192, 10}}, kEndLost)},
        {"3 bytes after the last 192-byte packet", Then(Clean(192, 10), {0x00, 0x01, 0x02}),
         Seq({{k192, 10}}, kEndLost)},
        {"zero bytes only", Bytes(5000, 0x00), Seq({}, kEndLost)},
        // The last packet before a size change is delivered; the new size is
        // proven by its own tests, with nothing skipped.
        {"188 then 204", Then(Clean(188, 6), Clean(204, 6)), Seq({{k188, 6}, {k204, 6}})},
        // A 0x47 in skipped data is a boundary only with sync bytes N and 2N
        // on; the packet before the garbage finds none and is lost with it.
        {"garbage holding a stray 0x47", Then(Then(Clean(188, 5), {0x00, 0x47, 0x00, 0x12}), Clean(188, 5)),
         Seq({{k188, 4}, {k188 | kLost, 1}, {k188, 4}})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.expected, Frame(c.data));
    }
}

// Sync bytes damaged far into a clean stretch, a few packets apart, and
// near the end: each damaged packet alone is lost, and the packet after it
// comes with the lost sync. The packets between two damaged ones lie in a
// run, which counts from five packets on.
TEST(PacketFramerTest, DamagedSyncBytesFarIntoLongStretches) {
    const int damaged[] = {70, 74, 140, 203, 296};
    for (const int size : {188, 192, 204}) {
        SCOPED_TRACE(size);
        const int flag = size == 188 ? k188 : size == 192 ? k192 : k204;
        tsgen::PacketFaults badSync;
        badSync.badSync = true;
        StreamBuilder b(size);
        std::vector<int> expected;
        int64_t run = 0, inRuns = 0;
        bool lost = false;
        for (int i = 0; i < 300; ++i) {
            const bool bad = std::find(std::begin(damaged), std::end(damaged), i) != std::end(damaged);
            b.AddFiller(0x100, bad ? badSync : tsgen::PacketFaults{});
            if (!bad) expected.push_back(lost ? flag | kLost : flag);
            if (bad || i == 299) {
                if (!bad) ++run;
                if (run >= 5) inRuns += run * size;
                run = 0;
            } else {
                ++run;
            }
            lost = bad;
        }
        expected.push_back(kEnd);
        int64_t framed = -1;
        EXPECT_EQ(expected, Frame(b.Data(), &framed));
        EXPECT_EQ(inRuns, framed);
    }
}

TEST(PacketFramerTest, PacketsComeOutWholeAtTheirOffsets) {
    for (const int size : {188, 192, 204}) {
        SCOPED_TRACE(size);
        const Bytes data = Clean(size, 50);
        MemorySource source(data.data(), data.size());
        PacketFramer framer(source);
        int n = 0;
        while (!Any(framer.FrameStretch() & FrameFlags::kEnd)) {
            EXPECT_EQ(size, framer.PacketSize());
            for (int i = 0; i < framer.Count(); ++i, ++n) {
                // Every packet byte for byte, the 204-byte trailer included;
                // the offset of a 192-byte packet is that of its prefix.
                const uint8_t* p = framer.Packet() + static_cast<ptrdiff_t>(i) * size;
                const size_t at = static_cast<size_t>(n) * static_cast<size_t>(size);
                EXPECT_EQ(static_cast<int64_t>(at), framer.PacketOffset(p));
                const size_t skip = size == 192 ? 4 : 0;
                const size_t len = size == 204 ? 204 : 188;
                EXPECT_TRUE(std::equal(p, p + len, data.begin() + static_cast<long>(at + skip)));
            }
        }
        EXPECT_EQ(50, n);
    }
}

TEST(PacketFramerTest, CleanStreamOfNPacketsGivesExactlyN) {
    // Larger than the input ring, so the ring wraps many times.
    const int n = 30000;
    EXPECT_EQ(Seq({{k188, n}}), Frame(Clean(188, n)));
}

TEST(PacketFramerTest, TrailingBytesAfterWholePackets) {
    // A cut-off packet starting with its sync byte, or plain garbage: every
    // whole packet is delivered, and the bytes after them are lost sync.
    for (int r = 1; r <= 187; ++r) {
        SCOPED_TRACE(r);
        for (const bool cutPacket : {true, false}) {
            Bytes tail(static_cast<size_t>(r), 0x11);
            tail[0] = cutPacket ? 0x47 : 0x11;
            EXPECT_EQ(Seq({{k188, 10}}, kEndLost), Frame(Then(Clean(188, 10), tail))) << "cut packet " << cutPacket;
        }
    }
}

}  // namespace

}  // namespace tsvigil
