// SPDX-License-Identifier: BSD-2-Clause
#include "descriptors/Descriptor.h"

#include <gtest/gtest.h>

#include <random>

#include "descriptors/StandardDescriptors.h"
#include "text/ARIBStringDecoder.h"

namespace tsvigil {

namespace {

// Walks the first loopEnd bytes of section as a descriptor loop.
DescriptorList Walk(const std::vector<uint8_t>& section, size_t loopEnd, int* errors = nullptr) {
    ARIBStringDecoder dec;
    DescriptorList list;
    const int n = ParseDescriptorLoop(list, ByteReader(section.data(), loopEnd), dec);
    if (errors) *errors = n;
    return list;
}

}  // namespace

TEST(DescriptorTest, UnhandledTagGivesNoObject) {
    const std::vector<uint8_t> b = {0x44, 0x00};
    ARIBStringDecoder dec;
    EXPECT_EQ(nullptr, CreateDescriptor(b.data(), b.data() + b.size(), dec));
}

TEST(DescriptorTest, FactorySetsTagAndLength) {
    const std::vector<uint8_t> b = {0x4D, 0x0A, 0x6A, 0x70, 0x6E, 0x03,
                                    0x30, 0x21, 0x20, 0x02, 0x30, 0x22};
    ARIBStringDecoder dec;
    auto d = CreateDescriptor(b.data(), b.data() + b.size(), dec);
    ASSERT_NE(nullptr, d);
    EXPECT_NE(nullptr, dynamic_cast<ShortEventDescriptor*>(d.get()));
    EXPECT_EQ(0x4D, d->descriptor_tag);
    EXPECT_EQ(10, d->descriptor_length);
}

// The unhandled descriptor's payload holds a stuffing descriptor at the
// offset a walker stepping by the length alone would land on.
TEST(DescriptorTest, UnhandledDescriptorIsSteppedOver) {
    const std::vector<uint8_t> b = {
        0x44, 0x0B, 0x4D, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x42, 0x00,
        0x4D, 0x07, 0x6A, 0x70, 0x6E, 0x02, 0x30, 0x21, 0x00,
    };
    DescriptorList list = Walk(b, b.size());
    ASSERT_EQ(1u, list.size());
    auto* d = dynamic_cast<ShortEventDescriptor*>(list[0].get());
    ASSERT_NE(nullptr, d);
    EXPECT_EQ(7, d->descriptor_length);
    EXPECT_EQ(2, d->event_name_length);
}

// The loop is the first loopEnd bytes of the vector: nothing past them is
// read, a descriptor cut short is kept with what it has and ends the walk.
TEST(DescriptorTest, WalkEndsWhereTheLoopEnds) {
    struct Case {
        const char* name;
        std::vector<uint8_t> in;
        size_t loopEnd;
        std::vector<int> tags;
        int errors;
        std::vector<uint8_t> firstName;  // bytes of a first short event's event_name
    };
    const Case kCases[] = {
        {"whole descriptors, one empty", {0x42, 0x00, 0x42, 0x01, 0xFF}, 5, {0x42, 0x42}, 0, {}},
        {"lone tag byte at the loop end", {0x42, 0x00, 0x4D}, 3, {0x42}, 1, {}},
        {"length runs past the loop end", {0x42, 0x05, 0x01, 0x4D, 0x00}, 5, {0x42}, 1, {}},
        {"loop end inside the first descriptor", {0x42, 0x01, 0x00, 0x42, 0x00}, 2, {0x42}, 1, {}},
        {"unhandled descriptor cut short", {0x42, 0x00, 0x44, 0x09, 0x00}, 5, {0x42}, 1, {}},
        {"empty loop", {0x42, 0x00}, 0, {}, 0, {}},
        // event_name_length 4 with 3 bytes in the loop; the 4th byte after
        // the loop end is not taken.
        {"cut short, name stops at the loop end",
         {0x4D, 0x0A, 'j', 'p', 'n', 0x04, 'a', 'b', 'c', 'd'}, 9, {0x4D}, 1, {'a', 'b', 'c'}},
        // event_name_length 5 in a descriptor_length of 6: the name runs on
        // into the next descriptor of the loop, as lengths stand.
        {"name overruns its descriptor",
         {0x4D, 0x06, 'j', 'p', 'n', 0x05, 'a', 'b', 0x42, 0x00}, 10, {0x4D, 0x42}, 1, {'a', 'b', 0x42, 0x00}},
        // The name fits but text_length is missing: read as 0 past the
        // descriptor's end.
        {"text_length past its descriptor",
         {0x4D, 0x06, 'j', 'p', 'n', 0x02, 'a', 'b'}, 8, {0x4D}, 1, {'a', 'b'}},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        int errors = -1;
        DescriptorList list = Walk(c.in, c.loopEnd, &errors);
        std::vector<int> tags;
        for (const auto& d : list) tags.push_back(d->descriptor_tag);
        EXPECT_EQ(c.tags, tags);
        EXPECT_EQ(c.errors, errors);
        if (list.empty() || list[0]->descriptor_tag != 0x4D) continue;
        ARIBStringDecoder dec;
        const ByteReader::Span name = {c.firstName.data(), static_cast<int>(c.firstName.size())};
        EXPECT_EQ(DecodeText(dec, name, true), static_cast<const ShortEventDescriptor&>(*list[0]).event_name);
    }
}

TEST(DescriptorTest, FindDescriptorIndices) {
    DescriptorList list;
    list.push_back(std::make_unique<ComponentDescriptor>());
    list.push_back(std::make_unique<ShortEventDescriptor>());
    list.push_back(std::make_unique<ShortEventDescriptor>());
    list[0]->descriptor_tag = 0x50;
    list[1]->descriptor_tag = 0x4D;
    list[2]->descriptor_tag = 0x4D;
    DescriptorList without;
    without.push_back(std::make_unique<ComponentDescriptor>());
    without[0]->descriptor_tag = 0x50;

    struct Case {
        const char* name;
        const DescriptorList* list;
        int start;
        int found;
    };
    const Case kCases[] = {
        {"from 0", &list, 0, 1},     {"from 2", &list, 2, 2},
        {"from 3", &list, 3, -1},    {"past the end", &list, 9, -1},
        {"negative start", &list, -1, 1}, {"list without one", &without, 0, -1},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.found, FindDescriptor(*c.list, 0x4D, c.start));
    }
}

// Random bytes as a descriptor loop: every section is exactly sized, so any
// read outside it is an AddressSanitizer report.
TEST(DescriptorTest, RandomLoopsStayInsideTheSection) {
    std::mt19937 rng(1274800);
    for (int round = 0; round < 400; ++round) {
        SCOPED_TRACE(round);
        std::vector<uint8_t> b(1 + rng() % 1024);
        for (auto& x : b) x = static_cast<uint8_t>(rng());
        // Bias toward handled tags so that the builders, not the skip, run.
        for (size_t i = 0; i < b.size(); i += 1 + rng() % 8) {
            static const uint8_t kTags[] = {0x09, 0x41, 0x48, 0x4D, 0x4E, 0x50, 0x53, 0x55,
                                            0xC4, 0xC7, 0xD6, 0xD9, 0xFA, 0xFE};
            b[i] = kTags[rng() % sizeof(kTags)];
        }
        ARIBStringDecoder dec;
        DescriptorList list;
        ParseDescriptorLoop(list, ByteReader(b.data(), b.size()), dec);
        // The objects are built from the loop's whole descriptor headers, in
        // order: their (tag, length) pairs are a subsequence of the walk's.
        std::vector<std::pair<int, int>> walk;
        for (size_t i = 0; i + 2 <= b.size(); i += 2 + b[i + 1]) walk.emplace_back(b[i], b[i + 1]);
        size_t w = 0;
        for (const auto& d : list) {
            while (w < walk.size() && walk[w] != std::make_pair(d->descriptor_tag, d->descriptor_length)) ++w;
            ASSERT_LT(w, walk.size()) << "tag " << d->descriptor_tag << " length " << d->descriptor_length;
            ++w;
        }
    }
}

}  // namespace tsvigil
