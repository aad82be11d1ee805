// SPDX-License-Identifier: BSD-2-Clause
#include "si/EIT.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "tools/SiBuilder.h"
#include "tools/TestStream.h"

namespace tsvigil {

namespace {

using tsgen::Bytes;
using tsgen::EitEvent;
using tsgen::MakeEIT;
using tsgen::ShortEventDescriptor;

// Offsets of the first event's fields in an EIT section.
constexpr size_t kStartTime = 16;
constexpr size_t kDuration = 21;
constexpr size_t kStatus = 24;

// Full-width "a" and "b" as the decoder writes them in Shift_JIS.
const char* const kA = "\x82\x81";
const char* const kB = "\x82\x82";

// Parses the sections in turn, each in an exactly-sized vector so that a
// read past its end is caught.
void Feed(EIT& eit, const std::vector<Bytes>& sections) {
    for (const auto& s : sections) eit.Parse(s.data(), static_cast<int>(s.size()));
}

// The section with bytes at offset replaced, and its CRC_32 made right.
Bytes Patch(const Bytes& section, size_t offset, const Bytes& bytes) {
    Bytes body(section.begin(), section.end() - 4);
    std::copy(bytes.begin(), bytes.end(), body.begin() + static_cast<long>(offset));
    return tsgen::FinishSection(body);
}

std::vector<int> EventIds(const EIT& eit) {
    std::vector<int> ids;
    for (const auto& e : eit.events) ids.push_back(e->event_id);
    return ids;
}

std::string Format(const TimeValue& t) {
    const TimeFields f = t.Fields();
    char s[32];
    std::snprintf(s, sizeof s, "%04d/%02d/%02d %02d:%02d:%02d", f.year, f.month, f.day, f.hour, f.minute,
                  f.second);
    return s;
}

EitEvent Event(int id, const Bytes& descriptors = ShortEventDescriptor("a")) {
    EitEvent e;
    e.event_id = id;
    e.descriptors = descriptors;
    return e;
}

TEST(EITTest, HeaderOnlySectionLeavesNoEvents) {
    EIT eit;
    const Bytes empty = MakeEIT(0x4E, 1024, 0, 1, {});
    ASSERT_EQ(15, ((empty[1] << 8) | empty[2]) & 0x0FFF);
    Feed(eit, {MakeEIT(0x4E, 1024, 0, 1, {Event(1)}), empty});
    EXPECT_TRUE(eit.events.empty());
}

TEST(EITTest, EventFields) {
    const Bytes base = MakeEIT(0x4E, 1024, 0, 1, {Event(0x1234)});
    struct Case {
        const char* name;
        size_t offset;
        Bytes bytes;
        bool has_start_time;
        const char* start;  // nullptr: start_time must be 0
        bool has_duration;
        int64_t duration;
        int running_status;
        int free_CA_mode;
    };
    const Case cases[] = {
        {"as built", kStatus, {0x80}, 1, "2008/06/01 12:00:00", 1, 1800, 4, 0},
        {"start_time of five 0xFF", kStartTime, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, 0, nullptr, 1, 1800, 4, 0},
        {"MJD 0xFFFF with a defined hour", kStartTime, {0xFF, 0xFF, 0x12, 0x00, 0x00}, 0, nullptr, 1, 1800, 4,
         0},
        {"MJD 45218, BCD 21 00 00", kStartTime, {0xB0, 0xA2, 0x21, 0x00, 0x00}, 1, "1982/09/06 21:00:00", 1,
         1800, 4, 0},
        {"start hour 24 is no time", kStartTime, {0xD5, 0x5A, 0x24, 0x00, 0x00}, 0, nullptr, 1, 1800, 4, 0},
        {"duration FF 12 34", kDuration, {0xFF, 0x12, 0x34}, 1, "2008/06/01 12:00:00", 0, 0, 4, 0},
        {"duration 25 01 30", kDuration, {0x25, 0x01, 0x30}, 1, "2008/06/01 12:00:00", 1, 90090, 4, 0},
        {"duration 99 59 59", kDuration, {0x99, 0x59, 0x59}, 1, "2008/06/01 12:00:00", 1, 359999, 4, 0},
        {"duration 00 00 00", kDuration, {0x00, 0x00, 0x00}, 1, "2008/06/01 12:00:00", 1, 0, 4, 0},
        {"running 5, free_CA_mode 1", kStatus, {0xB0}, 1, "2008/06/01 12:00:00", 1, 1800, 5, 1},
        {"running 7, free_CA_mode 0", kStatus, {0xE0}, 1, "2008/06/01 12:00:00", 1, 1800, 7, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EIT eit;
        Feed(eit, {Patch(base, c.offset, c.bytes)});
        ASSERT_EQ(1u, eit.events.size());
        const EITEvent& e = *eit.events[0];
        EXPECT_EQ(0x1234, e.event_id);
        EXPECT_EQ(c.has_start_time, e.has_start_time);
        if (c.start) {
            EXPECT_EQ(c.start, Format(e.start_time));
        } else {
            EXPECT_EQ(0, e.start_time.Seconds());
        }
        EXPECT_EQ(c.has_duration, e.has_duration);
        EXPECT_EQ(c.duration, e.duration.Seconds());
        EXPECT_EQ(c.running_status, e.running_status);
        EXPECT_EQ(c.free_CA_mode, e.free_CA_mode);
        // The fields before the loop do not disturb the loop itself.
        EXPECT_EQ(static_cast<int>(ShortEventDescriptor("a").size()), e.descriptors_loop_length);
        EXPECT_EQ(kA, e.GetEventName());
    }
}

TEST(EITTest, EventNames) {
    const Bytes content = tsgen::ContentDescriptor(0x0, 0x1);
    auto cat = [](Bytes a, const Bytes& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    };
    struct Case {
        const char* name;
        Bytes descriptors;
        std::string expected;
    };
    const Case cases[] = {
        {"no descriptors", {}, ""},
        {"no short event descriptor", content, ""},
        {"after another descriptor", cat(content, ShortEventDescriptor("a")), kA},
        {"two: the first", cat(ShortEventDescriptor("a"), ShortEventDescriptor("b")), kA},
        {"empty name", ShortEventDescriptor(""), ""},
        {"kanji lead cut by SP, the rest kept",
         {0x4D, 0x09, 'j', 'p', 'n', 0x04, 0x30, 0x20, 0x30, 0x21, 0x00},
         "\x81\xAC\x81\x40\x88\x9F"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EIT eit;
        Feed(eit, {MakeEIT(0x4E, 1024, 0, 1, {Event(1, c.descriptors)})});
        ASSERT_EQ(1u, eit.events.size());
        EXPECT_EQ(c.expected, eit.events[0]->GetEventName());
    }
}

TEST(EITTest, EventsInSectionOrder) {
    EIT eit;
    Feed(eit, {MakeEIT(0x50, 1024, 0, 0,
                       {Event(7, ShortEventDescriptor("a")), Event(8, {}), Event(9, ShortEventDescriptor("b"))})});
    ASSERT_EQ((std::vector<int>{7, 8, 9}), EventIds(eit));
    EXPECT_EQ(kA, eit.events[0]->GetEventName());
    EXPECT_EQ("", eit.events[1]->GetEventName());
    EXPECT_EQ(kB, eit.events[2]->GetEventName());
}

TEST(EITTest, EachSectionReplacesTheEvents) {
    EIT eit;
    Feed(eit, {MakeEIT(0x4E, 1024, 0, 1, {Event(1), Event(2)})});
    ASSERT_EQ((std::vector<int>{1, 2}), EventIds(eit));
    Feed(eit, {MakeEIT(0x50, 1024, 0, 0, {Event(10), Event(11), Event(12)})});
    EXPECT_EQ((std::vector<int>{10, 11, 12}), EventIds(eit));
    Feed(eit, {MakeEIT(0x4F, 1025, 0, 1, {Event(20)})});
    EXPECT_EQ((std::vector<int>{20}), EventIds(eit));
}

TEST(EITTest, LengthsThatLeadOutOfTheSection) {
    const Bytes sed = ShortEventDescriptor("a");
    const Bytes one = MakeEIT(0x4E, 1024, 0, 1, {Event(1, sed)});
    auto withTail = [&](size_t n) {
        Bytes body(one.begin(), one.end() - 4);
        body.insert(body.end(), n, 0x00);
        return tsgen::FinishSection(body);
    };
    struct Case {
        const char* name;
        Bytes section;
        size_t events;
        std::string firstName;
    };
    const Case cases[] = {
        {"descriptors_loop_length 0xFFF", Patch(one, kStatus, {0x8F, 0xFF}), 1, kA},
        {"descriptors_loop_length one past the CRC_32", Patch(one, kStatus, {0x80, uint8_t(sed.size() + 5)}), 1,
         kA},
        {"descriptor_length past the section", Patch(one, 27, {0xFF}), 1, kA},
        {"1 byte after the last event", withTail(1), 1, kA},
        {"7 bytes after the last event", withTail(7), 1, kA},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EIT eit;
        Feed(eit, {c.section});
        ASSERT_EQ(c.events, eit.events.size());
        EXPECT_EQ(c.firstName, eit.events[0]->GetEventName());
    }
}

TEST(EITTest, EventParseReadsOnlyUpToTheLoopEnd) {
    // Each event in an exactly-sized vector whose end is the event loop's end.
    const Bytes sed = ShortEventDescriptor("abc");
    struct Case {
        const char* name;
        Bytes tail;  // after the 12 header bytes
        int loopLength;
        int errors;  // descriptors cut short or overrunning
    };
    const Case cases[] = {
        {"no descriptor bytes", {}, 0xFFF, 0},
        {"a lone tag", {0x4D}, 0xFFF, 1},
        {"descriptor cut in its event name", Bytes(sed.begin(), sed.begin() + 7), 0xFFF, 1},
        {"descriptor cut after its tag and length", Bytes(sed.begin(), sed.begin() + 2), 0xFFF, 1},
        {"descriptor_length 255", {0x4D, 0xFF, 'j', 'p', 'n', 0xFF, 0x0E, 0x41}, 0xFFF, 1},
        {"extended event descriptor cut short", {0x4E, 0xFF, 0x01, 'j', 'p', 'n', 0x40, 0x10}, 0xFFF, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes b = {0x00, 0x05, 0xD5, 0x5A, 0x12, 0x00, 0x00, 0x00, 0x30, 0x00,
                   static_cast<uint8_t>(0x80 | (c.loopLength >> 8)), static_cast<uint8_t>(c.loopLength)};
        b.insert(b.end(), c.tail.begin(), c.tail.end());
        EITEvent e;
        EXPECT_EQ(12 + c.loopLength, e.Parse(b.data(), b.data() + b.size()));
        EXPECT_EQ(5, e.event_id);
        EXPECT_EQ(1800, e.duration.Seconds());
        EXPECT_EQ(c.errors, e.descriptorErrors);
    }
}

TEST(EITTest, RandomSectionsWithCorrectCrc) {
    // Whatever the bytes of a verified section say, parsing stays inside it.
    const int kDescriptorTags[] = {0x4D, 0x4E, 0x50, 0x54, 0x55, 0xC1, 0xC4, 0xC5, 0xC7, 0xD5, 0xD6, 0xD9, 0xDE};
    for (unsigned seed = 1; seed <= 300; ++seed) {
        SCOPED_TRACE(seed);
        std::mt19937 rng(seed);
        Bytes body;
        std::vector<int> ids;  // the event_ids of a well-formed event loop
        if (seed % 2) {
            // Bytes at random.
            const size_t size = 14 + rng() % (seed % 5 == 0 ? 4000 : 300);
            body.resize(size);
            for (auto& x : body) x = static_cast<uint8_t>(rng());
        } else {
            // Events and descriptors whose own lengths hold, with random contents.
            body = MakeEIT(0x4E, 1024, 0, 1, {});
            body.resize(body.size() - 4);  // the header without its CRC_32
            const int events = 1 + static_cast<int>(rng() % 4);
            for (int k = 0; k < events; ++k) {
                Bytes loop;
                const int descriptors = static_cast<int>(rng() % 5);
                for (int d = 0; d < descriptors; ++d) {
                    const size_t len = rng() % 40;
                    loop.push_back(static_cast<uint8_t>(kDescriptorTags[rng() % std::size(kDescriptorTags)]));
                    loop.push_back(static_cast<uint8_t>(len));
                    for (size_t j = 0; j < len; ++j) loop.push_back(static_cast<uint8_t>(rng()));
                }
                for (int j = 0; j < 10; ++j) body.push_back(static_cast<uint8_t>(rng()));
                ids.push_back((body[body.size() - 10] << 8) | body[body.size() - 9]);
                body.push_back(static_cast<uint8_t>(0x80 | ((loop.size() >> 8) & 0x0F)));
                body.push_back(static_cast<uint8_t>(loop.size()));
                body.insert(body.end(), loop.begin(), loop.end());
            }
        }
        body[0] = 0x4E;
        body[1] = 0xF0;
        EIT eit;
        Feed(eit, {tsgen::FinishSection(body)});
        std::vector<int> parsed;
        for (const auto& e : eit.events) {
            parsed.push_back(e->event_id);
            e->GetEventName();
        }
        // Random bytes hold at most one event per 12 bytes after the header;
        // well-formed loops give back exactly their events.
        if (ids.empty()) EXPECT_LE(parsed.size() * 12, body.size() - 14);
        else EXPECT_EQ(ids, parsed);
    }
}

}  // namespace

}  // namespace tsvigil
