// SPDX-License-Identifier: BSD-2-Clause
#include "si/Section.h"
#include "si/TableDispatcher.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "si/Table.h"
#include "tools/TestStream.h"

namespace tsvigil {

namespace {

using tsgen::Bytes;
using tsgen::StreamBuilder;
using tsgen::FinishSection;
using tsgen::PacketFaults;

constexpr int kPid = 0x0014;

// A handler that records what the dispatcher hands it, and the number of
// the packet that completed each section.
class RecordingTable : public SectionHandler {
public:
    explicit RecordingTable(int onPid = kPid) : pid(onPid) {}
    int OnSection(const SectionView& s) override {
        EXPECT_EQ(pid, s.pid);
        parsed.emplace_back(s.data, s.data + s.length);
        completed.push_back(packets ? *packets : -1);
        return 0;
    }
    int pid;
    const int64_t* packets = nullptr;
    std::vector<Bytes> parsed;
    std::vector<int64_t> completed;
};

// A dispatcher that numbers the packets it is given, so that a table can
// tell which packet completed its section.
struct Rig {
    TableDispatcher tables;
    int64_t packets = 0;
    void Add(RecordingTable& t) {
        t.packets = &packets;
        tables.Add(t.pid, &t);
    }
    // Dispatches every packet; returns the dispatcher's results (sections
    // that failed their CRC_32).
    std::vector<int> Dispatch(const std::vector<Bytes>& ps) {
        std::vector<int> failed;
        for (const auto& p : ps) {
            ++packets;
            failed.push_back(tables.Dispatch(p.data()));
        }
        return failed;
    }
};

// A section of exactly size bytes (CRC_32 included) whose bytes after the
// header are a pattern derived from seed; 0xFF is kept out of the pattern.
Bytes MakeSection(int size, uint8_t tableId = 0x73, int seed = 1) {
    Bytes body(static_cast<size_t>(size - 4));
    body[0] = tableId;
    body[1] = 0xF0;
    for (size_t i = 3; i < body.size(); ++i) body[i] = static_cast<uint8_t>((i * 13 + seed * 31) % 0xFF);
    return FinishSection(body);
}

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

// The 188-byte packets of a 188-byte stream, each in its own exactly-sized
// vector so that a read past a packet's end is caught.
std::vector<Bytes> Packets(const StreamBuilder& b) {
    std::vector<Bytes> out;
    const Bytes& d = b.Data();
    for (size_t i = 0; i + 188 <= d.size(); i += 188) out.emplace_back(d.begin() + i, d.begin() + i + 188);
    return out;
}

// One packet with an adaptation field of afl bytes (afl < 0: none).
Bytes RawPacket(int pid, bool unitStart, int cc, const Bytes& payload, int afl = -1) {
    Bytes p(188, 0xFF);
    p[0] = 0x47;
    p[1] = static_cast<uint8_t>((unitStart ? 0x40 : 0) | ((pid >> 8) & 0x1F));
    p[2] = static_cast<uint8_t>(pid);
    p[3] = static_cast<uint8_t>((afl >= 0 ? 0x30 : 0x10) | (cc & 0x0F));
    size_t at = 4;
    if (afl >= 0) {
        p[4] = static_cast<uint8_t>(afl);
        at = 5 + static_cast<size_t>(afl);
    }
    for (size_t i = 0; i < payload.size() && at + i < 188; ++i) p[at + i] = payload[i];
    return p;
}

bool AnyFailed(const std::vector<int>& v) {
    for (int n : v)
        if (n != 0) return true;
    return false;
}

const Bytes kTot = {0x73, 0x70, 0x0B, 0xD5, 0x5A, 0x12, 0x34, 0x56, 0xF0, 0x00, 0xE4, 0x9F, 0x5B, 0x38};

TEST(SectionTest, Crc32OfCheckString) {
    const std::string s = "123456789";
    const Bytes b(s.begin(), s.end());
    EXPECT_EQ(0x0376E6E7u, Crc32(b.data(), static_cast<int>(b.size())));
    EXPECT_EQ(0xFFFFFFFFu, Crc32(b.data(), 0));
}

TEST(SectionTest, TotSectionVerifiesAndAnyByteChangeFails) {
    Section t;
    StreamBuilder b;
    b.AddSection(kPid, kTot);
    const Bytes packet = Packets(b).at(0);
    ASSERT_TRUE(t.Append(packet.data()));
    EXPECT_TRUE(t.Verify());
    EXPECT_EQ(kTot, Bytes(t.Data(), t.Data() + t.Length()));
    EXPECT_FALSE(t.Append(packet.data()));  // nothing else in the packet
    EXPECT_FALSE(t.Collecting());

    // A TDT carries no CRC_32.
    const Bytes tdt = tsgen::MakeTDT(2009, 1, 2, 3, 4, 5);
    EXPECT_TRUE(Section::Verify(tdt.data(), static_cast<int>(tdt.size())));

    // Bytes 1 and 2 hold section_length, which moves the CRC_32 itself.
    for (size_t i = 0; i < kTot.size(); ++i) {
        if (i == 1 || i == 2) continue;
        for (int x = 1; x < 256; ++x) {
            Bytes changed = kTot;
            changed[i] ^= static_cast<uint8_t>(x);
            // The TDT and the stuffing table carry no CRC_32.
            if (changed[0] == 0x70 || changed[0] == 0x72) continue;
            if (Section::Verify(changed.data(), static_cast<int>(changed.size()))) {
                ADD_FAILURE() << "byte " << i << " xor " << x << " still verifies";
                return;
            }
        }
    }
}

TEST(SectionTest, SectionsWithinAndAcrossPackets) {
    const Bytes a = MakeSection(40, 0x73, 1);
    const Bytes bSec = MakeSection(60, 0x74, 2);
    const Bytes big = MakeSection(500, 0x75, 3);
    struct Case {
        const char* name;
        std::vector<Bytes> sections;  // back to back, as AddSection lays them
        std::vector<Bytes> expected;
        std::vector<int64_t> counts;
    };
    const Case cases[] = {
        {"one section", {a}, {a}, {1}},
        {"two sections in one packet", {a, bSec}, {a, bSec}, {1, 1}},
        {"three packets", {big}, {big}, {3}},
        {"small then spanning", {a, big}, {a, big}, {1, 3}},
        // The first section fills the first packet up to the last 1 or 2
        // bytes, which hold the start of the second one's header.
        {"header split 1+2", {MakeSection(182, 0x73, 4), bSec}, {MakeSection(182, 0x73, 4), bSec}, {1, 2}},
        {"header split 2+1", {MakeSection(181, 0x73, 5), bSec}, {MakeSection(181, 0x73, 5), bSec}, {1, 2}},
        {"header whole, body in the next packet", {MakeSection(180, 0x73, 6), bSec},
         {MakeSection(180, 0x73, 6), bSec}, {1, 2}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        RecordingTable t;
        rig.Add(t);
        StreamBuilder b;
        Bytes all;
        for (const auto& s : c.sections) all.insert(all.end(), s.begin(), s.end());
        b.AddSection(kPid, all);
        EXPECT_FALSE(AnyFailed(rig.Dispatch(Packets(b))));
        EXPECT_EQ(c.expected, t.parsed);
        EXPECT_EQ(c.counts, t.completed);
    }
}

TEST(SectionTest, SectionEndingAtPacketEndThenNewUnitStart) {
    Rig rig;
    RecordingTable t;
    rig.Add(t);
    const Bytes full = MakeSection(183, 0x73, 7);  // fills the payload after the pointer_field
    const Bytes next = MakeSection(30, 0x74, 8);
    StreamBuilder b;
    b.AddSection(kPid, full);
    b.AddSection(kPid, next);
    ASSERT_EQ(2u, b.PacketCount());
    rig.Dispatch(Packets(b));
    EXPECT_EQ((std::vector<Bytes>{full, next}), t.parsed);
    EXPECT_EQ((std::vector<int64_t>{1, 2}), t.completed);
}

TEST(SectionTest, PointerFieldAndAdaptationField) {
    const Bytes s = MakeSection(30, 0x73, 9);
    const Bytes m = MakeSection(250, 0x73, 11);
    // Ten bytes that would themselves look like a section header.
    const Bytes tail = {0x73, 0x70, 0x05, 1, 2, 3, 4, 5, 6, 7};
    struct Case {
        const char* name;
        std::vector<Bytes> packets;
        std::vector<Bytes> expected;
    };
    const Case cases[] = {
        {"pointer_field 10 skips the tail of another section",
         {RawPacket(kPid, true, 0, Concat({{10}, tail, s}))}, {s}},
        {"pointer_field past the packet", {RawPacket(kPid, true, 0, {183})}, {}},
        {"pointer_field 255", {RawPacket(kPid, true, 0, {255})}, {}},
        {"adaptation field before the pointer_field",
         {RawPacket(kPid, true, 0, Concat({{0}, s}), 20)}, {s}},
        {"adaptation field fills the packet", {RawPacket(kPid, true, 0, {}, 183)}, {}},
        {"adaptation_field_length beyond the packet", {RawPacket(kPid, true, 0, {}, 250)}, {}},
        {"without payload_unit_start nothing starts", {RawPacket(kPid, false, 0, Concat({{0}, s}))}, {}},
        {"stuffing right after a section ends the packet",
         {RawPacket(kPid, true, 0, Concat({{0}, s, {0xFF}, MakeSection(20, 0x74, 10)}))}, {s}},
        {"continuation packet with an adaptation field",
         {RawPacket(kPid, true, 0, Concat({{0}, Bytes(m.begin(), m.begin() + 183)})),
          RawPacket(kPid, false, 1, Bytes(m.begin() + 183, m.end()), 7)},
         {m}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        RecordingTable t;
        rig.Add(t);
        EXPECT_FALSE(AnyFailed(rig.Dispatch(c.packets)));
        EXPECT_EQ(c.expected, t.parsed);
    }
}

TEST(SectionTest, BadCrcDropsOnlyItsSection) {
    // Two handlers of one PID are handed the same sections: a failure
    // counts once.
    Rig rig;
    RecordingTable t, other;
    rig.Add(t);
    rig.Add(other);
    Bytes bad = MakeSection(40, 0x73, 12);
    bad.back() ^= 0x01;
    const Bytes good = MakeSection(40, 0x74, 13);
    const Bytes later = MakeSection(40, 0x75, 14);
    StreamBuilder b;
    b.AddSection(kPid, Concat({bad, good}));
    b.AddSection(kPid, later);
    const std::vector<int> failed = rig.Dispatch(Packets(b));
    EXPECT_EQ((std::vector<int>{1, 0}), failed);
    // The good section behind the bad one is assembled all the same.
    EXPECT_EQ((std::vector<Bytes>{good, later}), t.parsed);
    EXPECT_EQ((std::vector<int64_t>{1, 2}), t.completed);
    EXPECT_EQ(t.parsed, other.parsed);
}

TEST(SectionTest, SectionLengthLimit) {
    struct Case {
        int sectionLength;
        bool assembled;
    };
    const Case cases[] = {{4093, true}, {4094, false}, {4095, false}};
    const Bytes after = MakeSection(20, 0x74, 15);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sectionLength);
        Rig rig;
        RecordingTable t;
        rig.Add(t);
        const Bytes big = MakeSection(c.sectionLength + 3, 0x50, 16);
        ASSERT_EQ(c.sectionLength, ((big[1] << 8) | big[2]) & 0x0FFF);
        StreamBuilder b;
        b.AddSection(kPid, big);
        b.AddSection(kPid, after);
        // An over-long section is never started, so it never fails either.
        EXPECT_FALSE(AnyFailed(rig.Dispatch(Packets(b))));
        const std::vector<Bytes> expected =
            c.assembled ? std::vector<Bytes>{big, after} : std::vector<Bytes>{after};
        EXPECT_EQ(expected, t.parsed);
    }
}

TEST(SectionTest, OverLongSectionStartedAfterAnotherIsDropped) {
    // After a completed section the next one's length is not checked until
    // it continues; with 4095 it must be dropped then, not overflow.
    Rig rig;
    RecordingTable t;
    rig.Add(t);
    const Bytes first = MakeSection(30, 0x73, 17);
    const Bytes huge = MakeSection(4095 + 3, 0x50, 18);
    const Bytes after = MakeSection(20, 0x74, 19);
    StreamBuilder b;
    b.AddSection(kPid, Concat({first, huge}));
    b.AddSection(kPid, after);
    rig.Dispatch(Packets(b));
    EXPECT_EQ((std::vector<Bytes>{first, after}), t.parsed);
}

TEST(SectionTest, UnitStartWhileCollecting) {
    const Bytes a = MakeSection(300, 0x73, 20);
    const Bytes longA = MakeSection(600, 0x73, 21);
    const Bytes bSec = MakeSection(40, 0x74, 22);
    const Bytes c = MakeSection(40, 0x75, 23);
    auto slice = [](const Bytes& s, size_t from, size_t to) { return Bytes(s.begin() + from, s.begin() + to); };
    struct Case {
        const char* name;
        std::vector<Bytes> packets;
        std::vector<Bytes> expected;
        bool failed;
    };
    const Case cases[] = {
        {"remainder after the pointer_field, then a new section",
         {RawPacket(kPid, true, 0, Concat({{0}, slice(a, 0, 183)})),
          RawPacket(kPid, true, 1, Concat({{117}, slice(a, 183, 300), bSec}))},
         {a, bSec},
         false},
        // The pointer_field says where the new section starts, whatever
        // the section in hand still needs.
        {"remainder never comes: the section in hand is dropped",
         {RawPacket(kPid, true, 0, Concat({{0}, slice(a, 0, 183)})), RawPacket(kPid, true, 1, Concat({{0}, bSec})),
          RawPacket(kPid, true, 2, Concat({{0}, c}))},
         {bSec, c},
         false},
        {"a damaged section_length asks for more than the pointer_field leaves",
         {RawPacket(kPid, true, 0, Concat({{0}, slice(a, 0, 183)})),
          RawPacket(kPid, true, 1, Concat({{50}, slice(a, 183, 233), bSec}))},
         {bSec},
         false},
        {"the pointer_field leaves more than the section needs: the CRC_32 decides",
         {RawPacket(kPid, true, 0, Concat({{0}, slice(a, 0, 183)})),
          RawPacket(kPid, true, 1, Concat({{140}, slice(a, 183, 300), Bytes(23, 0x5A), bSec}))},
         {a, bSec},
         false},
        {"fewer bytes than the section still needs",
         {RawPacket(kPid, true, 0, Concat({{0}, slice(longA, 0, 183)})),
          RawPacket(kPid, false, 1, slice(longA, 183, 367)),
          RawPacket(kPid, true, 2, Concat({{183}, slice(longA, 367, 550)})),
          RawPacket(kPid, true, 3, Concat({{0}, c}))},
         {c},
         false},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.name);
        Rig rig;
        RecordingTable t;
        rig.Add(t);
        EXPECT_EQ(k.failed, AnyFailed(rig.Dispatch(k.packets)));
        EXPECT_EQ(k.expected, t.parsed);
    }
}

TEST(SectionTest, ContinuityGapDropsTheSection) {
    const Bytes a = MakeSection(500, 0x73, 24);
    const Bytes bSec = MakeSection(40, 0x74, 25);
    const Bytes c = MakeSection(40, 0x75, 26);
    struct Case {
        const char* name;
        bool gapStartsSection;
        bool lost15;  // the gap is 15 packets: the counter repeats on other bytes
        std::vector<Bytes> expected;
    };
    const Case cases[] = {
        {"gap on a continuation packet", false, false, {c}},
        // The section that starts in the gapped packet is whole.
        {"gap on a packet that starts a section", true, false, {bSec, c}},
        // Not a copy: however well the next packet follows on, A is broken.
        {"15 lost before a continuation packet", false, true, {c}},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.name);
        Rig rig;
        RecordingTable t;
        rig.Add(t);
        StreamBuilder b;
        b.AddSection(kPid, a);
        std::vector<Bytes> packets = Packets(b);
        ASSERT_EQ(3u, packets.size());
        if (k.lost15) packets.insert(packets.begin() + 1, RawPacket(kPid, false, 0, Bytes(184, 0x5A)));
        else packets.erase(packets.begin() + 1);  // counters now go 0, 2
        if (k.gapStartsSection) {
            packets.pop_back();
            packets.push_back(RawPacket(kPid, true, 2, Concat({{0}, bSec})));
        }
        packets.push_back(RawPacket(kPid, true, 3, Concat({{0}, c})));
        EXPECT_FALSE(AnyFailed(rig.Dispatch(packets)));
        EXPECT_EQ(k.expected, t.parsed);
    }
}

TEST(SectionTest, DuplicatePacketsArePassedOver) {
    // A packet sent twice (the same bytes, the same counter) neither breaks
    // the section it carries a part of nor completes a section again.
    const Bytes a = MakeSection(400, 0x73, 31);
    const Bytes c = MakeSection(40, 0x74, 32);
    Rig rig;
    RecordingTable t;
    rig.Add(t);
    StreamBuilder b;
    b.AddSection(kPid, a);
    b.AddSection(kPid, c);
    std::vector<Bytes> packets = Packets(b);
    ASSERT_EQ(4u, packets.size());
    packets.insert(packets.begin() + 1, packets[1]);  // the middle of a
    packets.push_back(packets.back());                // all of c
    EXPECT_FALSE(AnyFailed(rig.Dispatch(packets)));
    EXPECT_EQ((std::vector<Bytes>{a, c}), t.parsed);
}

TEST(SectionTest, EachTableAssemblesItsOwnPid) {
    Rig rig;
    RecordingTable tot(0x0014);
    RecordingTable eit(0x0012);
    rig.Add(tot);
    rig.Add(eit);
    const Bytes a = MakeSection(400, 0x73, 27);
    const Bytes e = MakeSection(400, 0x4E, 28);
    StreamBuilder sa, se;
    sa.AddSection(0x0014, a);
    se.AddSection(0x0012, e);
    const std::vector<Bytes> pa = Packets(sa), pe = Packets(se);
    ASSERT_EQ(pa.size(), pe.size());
    std::vector<Bytes> interleaved;
    for (size_t i = 0; i < pa.size(); ++i) {
        interleaved.push_back(pa[i]);
        interleaved.push_back(pe[i]);
    }
    rig.Dispatch(interleaved);
    EXPECT_EQ((std::vector<Bytes>{a}), tot.parsed);
    EXPECT_EQ((std::vector<Bytes>{e}), eit.parsed);
    EXPECT_EQ((std::vector<int64_t>{5}), tot.completed);
    EXPECT_EQ((std::vector<int64_t>{6}), eit.completed);
}

TEST(SectionTest, TablesHearOnlyTheirPidAndNothingOnceRemoved) {
    Rig rig;
    RecordingTable t;
    rig.Add(t);
    StreamBuilder b;
    b.AddSection(0x0015, MakeSection(40));
    b.AddFiller(0x0100);
    EXPECT_FALSE(AnyFailed(rig.Dispatch(Packets(b))));
    EXPECT_TRUE(t.parsed.empty());
    rig.tables.Remove(t.pid, &t);
    EXPECT_FALSE(rig.tables.Wants(kPid));
    StreamBuilder c;
    c.AddSection(kPid, MakeSection(40));
    rig.Dispatch(Packets(c));
    EXPECT_TRUE(t.parsed.empty());
}

TEST(SectionTest, HandlerLeavesFromInsideADispatch) {
    // A handler that removes itself on its first section, and may hand its
    // PID to another: the new one is handed the section in hand and what
    // the packet still completes, as if it had been there from the packet's
    // start; without one the PID's assembler goes once the packet is done.
    struct Leaving : RecordingTable {
        TableDispatcher* tables = nullptr;
        RecordingTable* successor = nullptr;
        int OnSection(const SectionView& s) override {
            RecordingTable::OnSection(s);
            tables->Remove(pid, this);
            if (successor) tables->Add(pid, successor);
            return 0;
        }
    };
    const Bytes a = MakeSection(40, 0x73, 33);
    const Bytes bSec = MakeSection(40, 0x74, 34);
    for (const bool handOver : {false, true}) {
        SCOPED_TRACE(handOver);
        Rig rig;
        Leaving leaving;
        RecordingTable next;
        leaving.tables = &rig.tables;
        leaving.successor = handOver ? &next : nullptr;
        rig.Add(leaving);
        StreamBuilder b;
        b.AddSection(kPid, Concat({a, bSec}));
        b.AddSection(kPid, a);
        rig.Dispatch(Packets(b));
        EXPECT_EQ((std::vector<Bytes>{a}), leaving.parsed);
        EXPECT_EQ(handOver ? (std::vector<Bytes>{a, bSec, a}) : std::vector<Bytes>{}, next.parsed);
        EXPECT_EQ(handOver, rig.tables.Wants(kPid));
    }
}

TEST(SectionTest, HostilePacketsStayInBounds) {
    // Random packets on the assembler's PID: whatever the header bits,
    // adaptation lengths and section lengths say, assembly must stay inside
    // the packet and the section buffer (both exactly sized on the heap).
    for (unsigned seed = 1; seed <= 40; ++seed) {
        SCOPED_TRACE(seed);
        Section t;
        std::mt19937 rng(seed);
        for (int i = 0; i < 400; ++i) {
            Bytes p(188);
            for (auto& x : p) x = static_cast<uint8_t>(rng());
            p[0] = 0x47;
            p[1] = static_cast<uint8_t>((p[1] & 0xE0) | (kPid >> 8));
            p[2] = static_cast<uint8_t>(kPid);
            // Mostly consecutive counters, so that collecting goes on.
            if (rng() % 4 != 0) p[3] = static_cast<uint8_t>((p[3] & 0xF0) | (i & 0x0F));
            // Small section lengths now and then, so sections do complete.
            if (rng() % 3 == 0) p[5 + rng() % 4] &= 0xF0;
            while (t.Append(p.data())) ASSERT_LE(t.Length(), Section::kMaxSectionLength + 3);
        }
    }
}

}  // namespace

}  // namespace tsvigil
