// SPDX-License-Identifier: BSD-2-Clause
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "descriptors/AribDescriptorsD0.h"
#include "tests/descriptors/BuildDescriptor.h"
#include "text/ARIBStringDecoder.h"

namespace tsvigil {

namespace {

using testutil::As;
const auto& Build = testutil::BuildDescriptor;

constexpr int64_t k19931013 = 750470400;  // 1993-10-13 00:00:00

}  // namespace

// ---- 0xD5 series_descriptor ----

struct SeriesCase {
    const char* name;
    std::vector<uint8_t> in;
    int series_id, repeat_label, program_pattern, valid;
    int64_t expire;
    int episode, last;
    std::string series_name;
};

const SeriesCase kSeries[] = {
    {"valid date, name from byte 10",
     {0xD5, 0x0A, 0x12, 0x34, 0x5B, 0xC0, 0x79, 0x12, 0x34, 0x56, 0x0E, 0x41},
     0x1234, 5, 5, 1, k19931013, 0x123, 0x456, "\x82\x60"},
    {"date converted with the valid flag clear",
     {0xD5, 0x08, 0x00, 0x01, 0xF0, 0xC0, 0x79, 0xFF, 0xFF, 0xFF},
     1, 15, 0, 0, k19931013, 0xFFF, 0xFFF, ""},
    {"expire_date 0x0000 stays 0",
     {0xD5, 0x08, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x10, 0x01},
     1, 0, 0, 0, 0, 0x001, 0x001, ""},
    {"length below the fixed part: missing bytes read 0, no name",
     {0xD5, 0x05, 0x12, 0x34, 0x5B, 0xC0, 0x79},
     0x1234, 5, 5, 1, k19931013, 0, 0, ""},
    {"empty descriptor at the section end",
     {0xD5, 0x00},
     0, 0, 0, 0, 0, 0, 0, ""},
};

TEST(SeriesDescriptorTest, FieldsTable) {
    for (const auto& c : kSeries) {
        SCOPED_TRACE(c.name);
        auto d = Build(c.in);
        const auto* s = As<SeriesDescriptor>(d);
        ASSERT_NE(nullptr, s);
        EXPECT_EQ(0xD5, s->descriptor_tag);
        EXPECT_EQ(c.in[1], s->descriptor_length);
        EXPECT_EQ(c.series_id, s->series_id);
        EXPECT_EQ(c.repeat_label, s->repeat_label);
        EXPECT_EQ(c.program_pattern, s->program_pattern);
        EXPECT_EQ(c.valid, s->expire_date_valid_flag);
        EXPECT_EQ(c.expire, s->expire_date.Seconds());
        EXPECT_EQ(c.episode, s->episode_number);
        EXPECT_EQ(c.last, s->last_episode_number);
        EXPECT_EQ(c.series_name, s->series_name);
    }
}

// ---- 0xD6 event_group_descriptor ----

struct Quad { int a, b, c, d; };
struct EventGroupCase {
    const char* name;
    std::vector<uint8_t> in;
    int group_type;
    std::vector<std::pair<int, int>> events;
    std::vector<Quad> groups;
    std::vector<uint8_t> private_data;
};

const EventGroupCase kEventGroup[] = {
    {"type 1: two events then private data",
     {0xD6, 0x0C, 0x12, 0x00, 0x01, 0x00, 0x02, 0x00, 0x03, 0x00, 0x04, 0xAA, 0xBB, 0xCC},
     1, {{1, 2}, {3, 4}}, {}, {0xAA, 0xBB, 0xCC}},
    {"type 4: one event then two 8-byte groups",
     {0xD6, 0x15, 0x41, 0x00, 0x01, 0x00, 0x02,
      0x7F, 0xE1, 0x7F, 0xE2, 0x04, 0x00, 0x00, 0x10,
      0x00, 0x04, 0x00, 0x05, 0x00, 0x06, 0x00, 0x07},
     4, {{1, 2}}, {{0x7FE1, 0x7FE2, 0x0400, 0x0010}, {4, 5, 6, 7}}, {}},
    {"type 5: groups stop at the descriptor's end, not the section's",
     {0xD6, 0x09, 0x50, 0x00, 0x04, 0x00, 0x05, 0x00, 0x06, 0x00, 0x07,
      0xD6, 0x00},
     5, {}, {{4, 5, 6, 7}}, {}},
    {"event_count 15 over one event's bytes",
     {0xD6, 0x05, 0x1F, 0x00, 0x01, 0x00, 0x02},
     1, {{1, 2}}, {}, {}},
    {"event_count 15 over three bytes: one partial event",
     {0xD6, 0x04, 0x1F, 0x00, 0x01, 0x00},
     1, {{1, 0}}, {}, {}},
};

TEST(EventGroupDescriptorTest, LoopsTable) {
    for (const auto& c : kEventGroup) {
        SCOPED_TRACE(c.name);
        auto d = Build(c.in);
        const auto* g = As<EventGroupDescriptor>(d);
        ASSERT_NE(nullptr, g);
        EXPECT_EQ(c.group_type, g->group_type);
        ASSERT_EQ(c.events.size(), g->events.size());
        for (size_t i = 0; i < c.events.size(); ++i) {
            EXPECT_EQ(c.events[i].first, g->events[i]->service_id);
            EXPECT_EQ(c.events[i].second, g->events[i]->event_id);
        }
        ASSERT_EQ(c.groups.size(), g->groups.size());
        for (size_t i = 0; i < c.groups.size(); ++i) {
            EXPECT_EQ(c.groups[i].a, g->groups[i]->original_network_id);
            EXPECT_EQ(c.groups[i].b, g->groups[i]->transport_stream_id);
            EXPECT_EQ(c.groups[i].c, g->groups[i]->service_id);
            EXPECT_EQ(c.groups[i].d, g->groups[i]->event_id);
        }
        EXPECT_EQ(c.private_data, g->private_data);
    }
}

// ---- 0xD7 SI_parameter_descriptor ----

struct TableEntry { int id, length; std::vector<uint8_t> description; };
struct SIParameterCase {
    const char* name;
    std::vector<uint8_t> in;
    int version;
    int64_t update;
    std::vector<TableEntry> tables;
};

const SIParameterCase kSIParameter[] = {
    {"length 3: no tables", {0xD7, 0x03, 0x05, 0xC0, 0x79}, 5, k19931013, {}},
    {"description lengths 0 and 2: the second table starts at byte 7",
     {0xD7, 0x09, 0x05, 0xC0, 0x79, 0x40, 0x00, 0x4E, 0x02, 0xAA, 0xBB},
     5, k19931013, {{0x40, 0, {}}, {0x4E, 2, {0xAA, 0xBB}}}},
    {"description length 255 at the section end",
     {0xD7, 0x06, 0x01, 0x00, 0x00, 0x4E, 0xFF, 0x11},
     1, 0, {{0x4E, 255, {0x11}}}},
};

TEST(SIParameterDescriptorTest, TablesTable) {
    for (const auto& c : kSIParameter) {
        SCOPED_TRACE(c.name);
        auto d = Build(c.in);
        const auto* s = As<SIParameterDescriptor>(d);
        ASSERT_NE(nullptr, s);
        EXPECT_EQ(c.version, s->parameter_version);
        EXPECT_EQ(c.update, s->update_time.Seconds());
        ASSERT_EQ(c.tables.size(), s->tables.size());
        for (size_t i = 0; i < c.tables.size(); ++i) {
            EXPECT_EQ(c.tables[i].id, s->tables[i]->table_id);
            EXPECT_EQ(c.tables[i].length, s->tables[i]->table_description_length);
            EXPECT_EQ(c.tables[i].description, s->tables[i]->table_description);
        }
    }
}

// ---- 0xD8 broadcaster_name_descriptor ----

TEST(BroadcasterNameDescriptorTest, NameTable) {
    struct Case { const char* name; std::vector<uint8_t> in; std::string sjis; };
    const Case kCases[] = {
        {"LS1 then alphanumeric A", {0xD8, 0x02, 0x0E, 0x41}, "\x82\x60"},
        {"empty name", {0xD8, 0x00}, ""},
        {"length 255 over two bytes", {0xD8, 0xFF, 0x0E, 0x41}, "\x82\x60"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        auto d = Build(c.in);
        const auto* b = As<BroadcasterNameDescriptor>(d);
        ASSERT_NE(nullptr, b);
        EXPECT_EQ(c.sjis, b->name);
    }
}

// ---- 0xD9 component_group_descriptor ----

struct ExpUnit { int id; std::vector<uint8_t> tags; };
struct ExpGroup {
    int id;
    std::vector<ExpUnit> units;
    int bit_rate, text_length;
    std::string text;
};
struct ComponentGroupCase {
    const char* name;
    std::vector<uint8_t> in;
    int type, flag;
    std::vector<ExpGroup> groups;
};

const ComponentGroupCase kComponentGroup[] = {
    {"no bit rate: the second group follows the first group's text",
     {0xD9, 0x0B, 0x02,
      0x12, 0x12, 0x00, 0x10, 0x21, 0x30, 0x01, 0xA2,
      0x20, 0x00},
     0, 0, {{1, {{1, {0x00, 0x10}}, {2, {0x30}}}, 0, 1, "\x82\xA0"}, {2, {}, 0, 0, ""}}},
    {"bit rate after the CA units, one byte per group",
     {0xD9, 0x0A, 0x12,
      0x11, 0x11, 0x00, 0x40, 0x01, 0xA2,
      0x20, 0x80, 0x00},
     0, 1, {{1, {{1, {0x00}}}, 0x40, 1, "\x82\xA0"}, {2, {}, 0x80, 0, ""}}},
    {"no CA units, flag 0: text_length at group byte 1",
     {0xD9, 0x04, 0x21, 0x10, 0x01, 0xA2},
     1, 0, {{1, {}, 0, 1, "\x82\xA0"}}},
    {"no CA units, flag 1: text_length at group byte 2",
     {0xD9, 0x05, 0x31, 0x10, 0x33, 0x01, 0xA2},
     1, 1, {{1, {}, 0x33, 1, "\x82\xA0"}}},
};

TEST(ComponentGroupDescriptorTest, GroupsTable) {
    for (const auto& c : kComponentGroup) {
        SCOPED_TRACE(c.name);
        auto d = Build(c.in);
        const auto* cg = As<ComponentGroupDescriptor>(d);
        ASSERT_NE(nullptr, cg);
        EXPECT_EQ(c.type, cg->component_group_type);
        EXPECT_EQ(c.flag, cg->total_bit_rate_flag);
        EXPECT_EQ(int(c.groups.size()), cg->num_of_group);
        ASSERT_EQ(c.groups.size(), cg->groups.size());
        for (size_t i = 0; i < c.groups.size(); ++i) {
            SCOPED_TRACE(i);
            const auto& e = c.groups[i];
            const auto& g = *cg->groups[i];
            EXPECT_EQ(e.id, g.component_group_id);
            EXPECT_EQ(int(e.units.size()), g.num_of_CA_unit);
            ASSERT_EQ(e.units.size(), g.CA_units.size());
            for (size_t u = 0; u < e.units.size(); ++u) {
                EXPECT_EQ(e.units[u].id, g.CA_units[u]->CA_unit_id);
                EXPECT_EQ(int(e.units[u].tags.size()), g.CA_units[u]->num_of_component);
                EXPECT_EQ(e.units[u].tags, g.CA_units[u]->component_tags);
            }
            EXPECT_EQ(e.bit_rate, g.total_bit_rate);
            EXPECT_EQ(e.text_length, g.text_length);
            EXPECT_EQ(e.text, g.text);
        }
    }
}

TEST(ComponentGroupDescriptorTest, HostileCountsStopAtTheSectionEnd) {
    // 15 groups of 15 CA units of 15 components each, and a text of 255
    // bytes, claimed over five bytes.
    const std::vector<uint8_t> b = {0xD9, 0xFF, 0x1F, 0xFF, 0xFF, 0x01, 0x02};
    auto d = Build(b);
    const auto* cg = As<ComponentGroupDescriptor>(d);
    ASSERT_NE(nullptr, cg);
    EXPECT_EQ(15, cg->num_of_group);
    ASSERT_EQ(1u, cg->groups.size());
    EXPECT_EQ(15, cg->groups[0]->num_of_CA_unit);
    ASSERT_EQ(1u, cg->groups[0]->CA_units.size());
    EXPECT_EQ((std::vector<uint8_t>{0x01, 0x02}), cg->groups[0]->CA_units[0]->component_tags);
    EXPECT_EQ(0, cg->groups[0]->text_length);
}

// ---- 0xDC LDT_linkage_descriptor ----

TEST(LDTLinkageDescriptorTest, DescriptionsTable) {
    struct Desc { int id, type, user; };
    struct Case { const char* name; std::vector<uint8_t> in; std::vector<Desc> descriptions; };
    const Case kCases[] = {
        {"length 10: one description from bytes 8-11",
         {0xDC, 0x0A, 0x00, 0x01, 0x00, 0x02, 0x00, 0x03, 0x12, 0x34, 0xF5, 0x66},
         {{0x1234, 5, 0x66}}},
        {"length 6: none, though the section goes on",
         {0xDC, 0x06, 0x00, 0x01, 0x00, 0x02, 0x00, 0x03, 0x12, 0x34, 0xF5, 0x66},
         {}},
        {"length 14 cut by the section after one and a half entries",
         {0xDC, 0x0E, 0x00, 0x01, 0x00, 0x02, 0x00, 0x03, 0x12, 0x34, 0xF5, 0x66, 0xAB, 0xCD},
         {{0x1234, 5, 0x66}, {0xABCD, 0, 0}}},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        auto d = Build(c.in);
        const auto* l = As<LDTLinkageDescriptor>(d);
        ASSERT_NE(nullptr, l);
        EXPECT_EQ(1, l->original_service_id);
        EXPECT_EQ(2, l->transport_stream_id);
        EXPECT_EQ(3, l->original_network_id);
        ASSERT_EQ(c.descriptions.size(), l->descriptions.size());
        for (size_t i = 0; i < c.descriptions.size(); ++i) {
            EXPECT_EQ(c.descriptions[i].id, l->descriptions[i]->description_id);
            EXPECT_EQ(c.descriptions[i].type, l->descriptions[i]->description_type);
            EXPECT_EQ(c.descriptions[i].user, l->descriptions[i]->user_defined);
        }
    }
}

// ---- 0xDE content_availability_descriptor ----

TEST(ContentAvailabilityDescriptorTest, BitsTable) {
    struct Case { uint8_t b2; int copy, token, mode, state, enc; };
    const Case kCases[] = {
        {0xFF, 1, 1, 1, 7, 1},
        {0x80, 0, 0, 0, 0, 0},  // bit 7 is reserved
        {0x4A, 1, 0, 0, 5, 0},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(int(c.b2));
        const std::vector<uint8_t> b = {0xDE, 0x01, c.b2};
        auto d = Build(b);
        const auto* a = As<ContentAvailabilityDescriptor>(d);
        ASSERT_NE(nullptr, a);
        EXPECT_EQ(c.copy, a->copy_restriction_mode);
        EXPECT_EQ(c.token, a->image_constraint_token);
        EXPECT_EQ(c.mode, a->retention_mode);
        EXPECT_EQ(c.state, a->retention_state);
        EXPECT_EQ(c.enc, a->encryption_mode);
    }
}

// ---- the whole range against damaged bytes ----

namespace {

bool HandledD0(int tag) {
    return tag == 0xD5 || tag == 0xD6 || tag == 0xD7 || tag == 0xD8 || tag == 0xD9 ||
           tag == 0xDC || tag == 0xDE;
}

// Runs every tag of 0xD0..0xDF over random payloads whose section ends
// right after them: first with a length byte that matches the payload,
// then with a length of 255 over a shorter payload.
void RunRandomPayloads(uint8_t lengthOverride) {
    std::mt19937 rng(0xD0D0);
    for (int tag = 0xD0; tag <= 0xDF; ++tag) {
        for (int n = 0; n <= 255; ++n) {
            std::vector<uint8_t> b(static_cast<size_t>(n) + 2);
            for (auto& x : b) x = static_cast<uint8_t>(rng());
            b[0] = static_cast<uint8_t>(tag);
            b[1] = lengthOverride ? lengthOverride : static_cast<uint8_t>(n);
            auto d = Build(b);
            if (!HandledD0(tag)) {
                EXPECT_EQ(nullptr, d) << tag;
                continue;
            }
            ASSERT_NE(nullptr, d) << tag << " " << n;
            EXPECT_EQ(tag, d->descriptor_tag);
            EXPECT_EQ(b[1], d->descriptor_length);
            // Every loop advances by at least one byte per entry.
            if (const auto* g = As<EventGroupDescriptor>(d)) {
                EXPECT_LE(g->events.size() + g->groups.size(), b.size());
            }
            if (const auto* cg = As<ComponentGroupDescriptor>(d)) {
                size_t units = 0;
                for (const auto& grp : cg->groups) units += grp->CA_units.size();
                EXPECT_LE(cg->groups.size() + units, b.size());
            }
        }
    }
}

}  // namespace

TEST(CreateAribDescriptorD0Test, RandomPayloadsStayInsideTheSection) {
    RunRandomPayloads(0);
}

TEST(CreateAribDescriptorD0Test, LengthPastTheSectionEnd) {
    RunRandomPayloads(0xFF);
}

}  // namespace tsvigil
