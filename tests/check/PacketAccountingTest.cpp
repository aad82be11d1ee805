// SPDX-License-Identifier: BSD-2-Clause
#include "check/PacketAccounting.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "tools/TestStream.h"

namespace tsvigil {

namespace {

using tsgen::Bytes;

// How a packet deviates from a plain one with payload.
enum Bits : unsigned {
    kNoPayload = 1,       // adaptation field alone
    kDiscontinuity = 2,   // discontinuity_indicator
    kPcr = 4,             // a PCR, stamped anew in each packet
    kAlike = 8,           // the first payload byte differs from fill's
    kScrambled = 16,      // transport_scrambling_control 10
    kTei = 32,            // transport_error_indicator
    kGone = 64,           // the packets before are no longer held
};

struct Step {
    int pid;
    int counter;
    uint8_t fill;  // every payload byte, so the last 8 bytes too
    unsigned bits;
    int times;
};

// A 188-byte packet as the step asks; serial stamps its PCR.
Bytes Packet(const Step& s, int serial) {
    Bytes p(188, s.fill);
    const bool field = (s.bits & (kNoPayload | kDiscontinuity | kPcr)) != 0;
    p[0] = 0x47;
    p[1] = static_cast<uint8_t>(((s.bits & kTei) ? 0x80 : 0) | (s.pid >> 8));
    p[2] = static_cast<uint8_t>(s.pid);
    p[3] = static_cast<uint8_t>(((s.bits & kScrambled) ? 0x80 : 0) | (field ? 0x20 : 0) |
                                ((s.bits & kNoPayload) ? 0 : 0x10) | s.counter);
    if (field) {
        p[4] = (s.bits & kNoPayload) ? 183 : (s.bits & kPcr) ? 7 : 1;
        p[5] = static_cast<uint8_t>(((s.bits & kDiscontinuity) ? 0x80 : 0) | ((s.bits & kPcr) ? 0x10 : 0));
        if (s.bits & kPcr)
            for (int k = 0; k < 6; ++k) p[static_cast<size_t>(6 + k)] = static_cast<uint8_t>(serial >> (k * 4));
    }
    if (s.bits & kAlike) p[static_cast<size_t>(PayloadOffset(p.data()))] ^= 0xFF;
    return p;
}

struct Case {
    const char* name;
    std::vector<Step> steps;
    int pid;  // whose counts are compared
    PidCounts want;
};

PidCounts Counts(uint64_t packets, uint64_t errors, uint64_t lost, uint64_t duplicates, uint64_t discontinuities = 0,
                  uint64_t scrambled = 0, uint64_t scrambledAtStart = 0, uint64_t transportErrors = 0) {
    PidCounts c;
    c.packets = packets;
    c.continuityErrors = errors;
    c.lost = lost;
    c.duplicates = duplicates;
    c.discontinuities = discontinuities;
    c.scrambled = scrambled;
    c.scrambledAtStart = scrambledAtStart;
    c.transportErrors = transportErrors;
    return c;
}

constexpr int kA = 0x100, kNull = 0x1FFF;

const Case kCases[] = {
    {"clean, wrapping round", {{kA, 14, 1, 0, 1}, {kA, 15, 2, 0, 1}, {kA, 0, 3, 0, 1}}, kA, Counts(3, 0, 0, 0)},
    {"one lost", {{kA, 0, 1, 0, 1}, {kA, 2, 2, 0, 1}}, kA, Counts(2, 1, 1, 0)},
    {"14 lost", {{kA, 0, 1, 0, 1}, {kA, 15, 2, 0, 1}}, kA, Counts(2, 1, 14, 0)},
    {"repeated counter on other bytes: 15 lost", {{kA, 0, 1, 0, 1}, {kA, 0, 2, 0, 1}}, kA, Counts(2, 1, 15, 0)},
    {"repeated counter on bytes that end alike", {{kA, 0, 1, 0, 1}, {kA, 0, 1, kAlike, 1}}, kA, Counts(2, 1, 15, 0)},
    {"duplicate", {{kA, 0, 1, 0, 2}}, kA, Counts(2, 1, 0, 1)},
    {"duplicate whose PCR differs", {{kA, 0, 1, kPcr, 2}}, kA, Counts(2, 1, 0, 1)},
    {"third copy: an error, no duplicate, no loss", {{kA, 0, 1, 0, 3}}, kA, Counts(3, 2, 0, 1)},
    {"fourth copy", {{kA, 0, 1, 0, 4}}, kA, Counts(4, 3, 0, 1)},
    {"two packets each sent twice", {{kA, 0, 1, 0, 2}, {kA, 1, 2, 0, 2}}, kA, Counts(4, 2, 0, 2)},
    {"copy of a packet no longer held: its tail tells", {{kA, 0, 1, 0, 1}, {kA, 0, 1, kGone, 1}}, kA,
     Counts(2, 1, 0, 1)},
    {"15 lost, packet before no longer held", {{kA, 0, 1, 0, 1}, {kA, 0, 2, kGone, 1}}, kA, Counts(2, 1, 15, 0)},
    // Only the nearest 256 packets are looked at; past them the tails alone
    // are compared, and bytes that end alike pass for a copy.
    {"packet before beyond 256 held", {{kA, 0, 1, 0, 1}, {kNull, 0, 9, 0, 300}, {kA, 0, 1, kAlike, 1}}, kA,
     Counts(2, 1, 0, 1)},
    {"no payload keeps the counter", {{kA, 0, 1, 0, 1}, {kA, 0, 2, kNoPayload, 1}, {kA, 1, 3, 0, 1}}, kA,
     Counts(3, 0, 0, 0)},
    {"no payload that moves the counter on", {{kA, 0, 1, 0, 1}, {kA, 1, 2, kNoPayload, 1}}, kA, Counts(2, 1, 1, 0)},
    {"null packets are never errors", {{kNull, 0, 1, 0, 1}, {kNull, 5, 2, 0, 1}, {kNull, 5, 2, 0, 1}}, kNull,
     Counts(3, 0, 0, 0)},
    {"first packet of a PID", {{kA, 7, 1, 0, 1}}, kA, Counts(1, 0, 0, 0)},
    {"PIDs apart", {{kA, 0, 1, 0, 1}, {0x200, 5, 2, 0, 1}, {kA, 1, 3, 0, 1}}, kA, Counts(2, 0, 0, 0)},
    {"discontinuity_indicator excuses a break", {{kA, 0, 1, 0, 1}, {kA, 5, 2, kDiscontinuity, 1}, {kA, 6, 3, 0, 1}},
     kA, Counts(3, 0, 0, 0, 1)},
    {"discontinuity_indicator on a counter that follows on", {{kA, 0, 1, 0, 1}, {kA, 1, 2, kDiscontinuity, 1}}, kA,
     Counts(2, 0, 0, 0, 0)},
    {"scrambled at the start and later",
     {{kA, 0, 1, kScrambled, 1}, {kA, 1, 2, kScrambled, 1}, {kA, 2, 3, 0, 1}, {kA, 3, 4, kScrambled, 1}}, kA,
     Counts(4, 0, 0, 0, 0, 3, 2)},
    {"transport errors", {{kA, 0, 1, kTei, 1}, {kA, 1, 2, 0, 1}, {kA, 2, 3, kTei, 1}}, kA,
     Counts(3, 0, 0, 0, 0, 0, 0, 2)},
};

TEST(PacketAccountingTest, CountsTable) {
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        Bytes data;
        std::vector<bool> gone;
        for (const auto& s : c.steps) {
            for (int i = 0; i < s.times; ++i) {
                const Bytes p = Packet(s, static_cast<int>(gone.size()));
                data.insert(data.end(), p.begin(), p.end());
                gone.push_back((s.bits & kGone) != 0);
            }
        }
        std::vector<PidCounts> counts(kPidCount);
        auto accounting = std::make_unique<PacketAccounting>(counts.data());
        uint64_t breaks = 0, lost = 0, duplicates = 0;
        for (size_t i = 0; i < gone.size(); ++i) {
            const uint8_t* p = data.data() + i * 188;
            const int pid = Pid(p);
            accounting->Hold(gone[i] ? p : data.data(), 188);
            accounting->Take(p, pid, [&](const CounterBreak& b) {
                EXPECT_EQ(Counter(p), b.counter);
                ++breaks;
                lost += static_cast<uint64_t>(b.lost);
                duplicates += b.duplicate;
            });
            if (Scrambled(p)) accounting->TakeScrambled(pid);
            if (TransportError(p)) accounting->TakeTransportError(pid);
            accounting->Keep(p, pid);
        }
        accounting->Finish();
        const PidCounts& got = counts[static_cast<size_t>(c.pid)];
        EXPECT_EQ(c.want.packets, got.packets);
        EXPECT_EQ(c.want.continuityErrors, got.continuityErrors);
        EXPECT_EQ(c.want.lost, got.lost);
        EXPECT_EQ(c.want.duplicates, got.duplicates);
        EXPECT_EQ(c.want.discontinuities, got.discontinuities);
        EXPECT_EQ(c.want.scrambled, got.scrambled);
        EXPECT_EQ(c.want.scrambledAtStart, got.scrambledAtStart);
        EXPECT_EQ(c.want.transportErrors, got.transportErrors);
        // What the caller hears of agrees with the counts.
        EXPECT_EQ(got.continuityErrors, breaks);
        EXPECT_EQ(got.lost, lost);
        EXPECT_EQ(got.duplicates, duplicates);
    }
}

}  // namespace

}  // namespace tsvigil
