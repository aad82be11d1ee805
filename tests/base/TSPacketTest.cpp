// SPDX-License-Identifier: BSD-2-Clause
#include "base/TSPacket.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace tsvigil {

namespace {

// The adaptation field as the clock and the counter rules read it: the
// 42-bit PCR across its six bytes, and nothing from a field whose length
// runs past the packet.
TEST(TSPacketTest, AdaptationField) {
    struct Case {
        const char* name;
        std::vector<uint8_t> from3;  // bytes 3.. of the packet
        int length;
        bool discontinuity;
        bool hasPcr;
        int64_t pcr;
    };
    const Case cases[] = {
        {"payload only", {0x10, 0xFF, 0xFF}, 0, false, false, 0},
        {"PCR at its largest", {0x30, 7, 0x10, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, 7, false, true,
         ((int64_t(1) << 33) - 1) * 300 + 511},
        {"PCR of base 1 << 32 and extension 256, declared new",
         {0x20, 183, 0x90, 0x80, 0x00, 0x00, 0x00, 0x01, 0x00},
         183,
         true,
         true,
         (int64_t(1) << 32) * 300 + 256},
        {"PCR_flag with a field too short for the PCR", {0x30, 6, 0x10, 1, 2, 3, 4, 5, 6}, 6, false, false, 0},
        {"length past the packet: nothing", {0x20, 184, 0x90, 1, 2, 3, 4, 5, 6}, 0, false, false, 0},
        {"empty field: no flags byte", {0x30, 0, 0x90, 1, 2, 3, 4, 5, 6}, 0, false, false, 0},
        {"flags without adaptation_field_control", {0x10, 7, 0x90, 1, 2, 3, 4, 5, 6}, 0, false, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> packet(kPacketSize, 0);
        packet[0] = 0x47;
        std::copy(c.from3.begin(), c.from3.end(), packet.begin() + 3);
        EXPECT_EQ(c.length, AdaptationField(packet.data()));
        EXPECT_EQ(c.discontinuity, Discontinuity(packet.data()));
        int64_t pcr = -1;
        EXPECT_EQ(c.hasPcr, Pcr(packet.data(), pcr));
        if (c.hasPcr) {
            EXPECT_EQ(c.pcr, pcr);
        }
    }
}

}  // namespace

}  // namespace tsvigil
