// SPDX-License-Identifier: BSD-2-Clause
#include "stream/RingBuffer.h"

#include <gtest/gtest.h>

#include <numeric>
#include <vector>

namespace tsvigil {

TEST(RingBufferTest, WriteDropsWhatDoesNotFit) {
    RingBuffer ring;
    ring.SetBufferSize(16);
    std::vector<uint8_t> src(20);
    std::iota(src.begin(), src.end(), 0);
    EXPECT_EQ(1, ring.Write(src.data(), 10));
    EXPECT_EQ(0, ring.Write(src.data() + 10, 10));  // only 5 fit
    EXPECT_EQ(15, ring.GetDataSize());
    uint8_t out[20] = {};
    EXPECT_EQ(15, ring.Read(out, 20));  // asks for more than is held
    for (int i = 0; i < 15; ++i) EXPECT_EQ(i, out[i]);
    EXPECT_EQ(0, ring.GetDataSize());
}

TEST(RingBufferTest, WrapAroundKeepsOrderForReadPeekAndWindow) {
    RingBuffer ring;
    ring.SetBufferSize(1000);
    uint8_t next = 0, expect = 0;
    std::vector<uint8_t> buf(700);
    for (int round = 0; round < 20; ++round) {
        for (auto& b : buf) b = next++;
        ASSERT_EQ(1, ring.Write(buf.data(), 700));
        for (int i = 0; i < 700; i += 97) EXPECT_EQ(uint8_t(expect + i), ring.PeekByte(i));
        // The look-ahead window is whole from any read position.
        const uint8_t* w = ring.ReadPointer();
        for (int i = 0; i < std::min(ring.Window(), 700); ++i) ASSERT_EQ(uint8_t(expect + i), w[i]);
        EXPECT_EQ(0, ring.PeekByte(700));  // at the bytes held
        EXPECT_EQ(0, ring.PeekByte(5000));
        std::vector<uint8_t> out(700);
        ASSERT_EQ(700, ring.Read(out.data(), 700));
        for (auto b : out) ASSERT_EQ(expect++, b);
    }
}

}  // namespace tsvigil
