// SPDX-License-Identifier: BSD-2-Clause
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "descriptors/AribDescriptorsE0.h"
#include "tests/descriptors/BuildDescriptor.h"
#include "text/ARIBStringDecoder.h"

namespace tsvigil {

namespace {

using testutil::As;
const auto& Build = testutil::BuildDescriptor;

}  // namespace

// ---- 0xFA terrestrial_delivery_system_descriptor ----

TEST(TerrestrialDeliverySystemDescriptorTest, FieldsTable) {
    struct Case {
        const char* name;
        std::vector<uint8_t> in;
        int area, guard, mode;
        std::vector<uint32_t> frequencies;
    };
    const Case kCases[] = {
        {"length 2: no frequencies", {0xFA, 0x02, 0x12, 0x34}, 0x123, 1, 0, {}},
        {"length 6: two frequencies", {0xFA, 0x06, 0x12, 0x37, 0x0A, 0x1B, 0x0B, 0x2C},
         0x123, 1, 3, {0x0A1B, 0x0B2C}},
        {"length 6 stops before the next descriptor",
         {0xFA, 0x04, 0xFF, 0xFB, 0x0A, 0x1B, 0xFA, 0x02},
         0xFFF, 2, 3, {0x0A1B}},
        {"odd length at the section end: half pair completed with 0",
         {0xFA, 0x05, 0x12, 0x34, 0x0A, 0x1B, 0x0B}, 0x123, 1, 0, {0x0A1B, 0x0B00}},
        {"length 255 over two bytes", {0xFA, 0xFF, 0x12, 0x34}, 0x123, 1, 0, {}},
        {"empty at the section end", {0xFA, 0x00}, 0, 0, 0, {}},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        auto d = Build(c.in);
        const auto* t = As<TerrestrialDeliverySystemDescriptor>(d);
        ASSERT_NE(nullptr, t);
        EXPECT_EQ(0xFA, t->descriptor_tag);
        EXPECT_EQ(c.in[1], t->descriptor_length);
        EXPECT_EQ(c.area, t->area_code);
        EXPECT_EQ(c.guard, t->guard_interval);
        EXPECT_EQ(c.mode, t->transmission_mode);
        EXPECT_EQ(c.frequencies, t->frequencies);
    }
}

// ---- 0xFB partial_reception_descriptor ----

TEST(PartialReceptionDescriptorTest, ServiceIdsTable) {
    struct Case { const char* name; std::vector<uint8_t> in; std::vector<uint16_t> ids; };
    const Case kCases[] = {
        {"length 0", {0xFB, 0x00, 0x04, 0x08}, {}},
        {"length 4", {0xFB, 0x04, 0x04, 0x08, 0x04, 0x09}, {0x0408, 0x0409}},
        {"length 4 over one byte", {0xFB, 0x04, 0x04}, {0x0400}},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        auto d = Build(c.in);
        const auto* p = As<PartialReceptionDescriptor>(d);
        ASSERT_NE(nullptr, p);
        EXPECT_EQ(c.ids, p->service_ids);
    }
}

// ---- 0xFC emergency_information_descriptor ----

TEST(EmergencyInformationDescriptorTest, EntriesTable) {
    struct Entry { int service_id, start_end, level, acl; std::vector<uint16_t> areas; };
    struct Case { const char* name; std::vector<uint8_t> in; std::vector<Entry> entries; };
    const Case kCases[] = {
        {"two entries, the second at byte 8 with no area codes",
         {0xFC, 0x0A, 0x00, 0x01, 0xC0, 0x02, 0x12, 0x3F, 0x00, 0x02, 0x00, 0x00},
         {{1, 1, 1, 2, {0x123}}, {2, 0, 0, 0, {}}}},
        {"odd area_code_length: the next entry still starts 7 bytes on",
         {0xFC, 0x0B, 0x00, 0x01, 0x80, 0x03, 0x12, 0x3F, 0x45, 0x00, 0x02, 0x40, 0x00},
         {{1, 1, 0, 3, {0x123, 0x450}}, {2, 0, 1, 0, {}}}},
        {"area_code_length 255 at the section end",
         {0xFC, 0x06, 0x00, 0x01, 0x80, 0xFF, 0xAB, 0xCD},
         {{1, 1, 0, 255, {0xABC}}}},
        {"length 0", {0xFC, 0x00}, {}},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        auto d = Build(c.in);
        const auto* e = As<EmergencyInformationDescriptor>(d);
        ASSERT_NE(nullptr, e);
        ASSERT_EQ(c.entries.size(), e->emergencies.size());
        for (size_t i = 0; i < c.entries.size(); ++i) {
            SCOPED_TRACE(i);
            const auto& x = *e->emergencies[i];
            EXPECT_EQ(c.entries[i].service_id, x.service_id);
            EXPECT_EQ(c.entries[i].start_end, x.start_end_flag);
            EXPECT_EQ(c.entries[i].level, x.signal_level);
            EXPECT_EQ(c.entries[i].acl, x.area_code_length);
            EXPECT_EQ(c.entries[i].areas, x.area_codes);
        }
    }
}

// ---- 0xFD data_component_descriptor, 0xFE system_management_descriptor ----

TEST(DataComponentDescriptorTest, IdAndInfoTable) {
    struct Case { const char* name; std::vector<uint8_t> in; int id; std::vector<uint8_t> info; };
    const Case kCases[] = {
        {"length 2: id only", {0xFD, 0x02, 0x00, 0x08, 0x33}, 0x0008, {}},
        {"length 4", {0xFD, 0x04, 0x00, 0x0C, 0x33, 0x3F}, 0x000C, {0x33, 0x3F}},
        {"length 1 at the section end", {0xFD, 0x01, 0x00}, 0, {}},
        {"length 9 over four bytes", {0xFD, 0x09, 0x00, 0x0C, 0x33, 0x3F}, 0x000C, {0x33, 0x3F}},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        auto d = Build(c.in);
        const auto* x = As<DataComponentDescriptor>(d);
        ASSERT_NE(nullptr, x);
        EXPECT_EQ(c.id, x->data_component_id);
        EXPECT_EQ(c.info, x->additional_data_component_info);
    }
}

TEST(SystemManagementDescriptorTest, IdAndInfoTable) {
    struct Case { const char* name; std::vector<uint8_t> in; int id; std::vector<uint8_t> info; };
    const Case kCases[] = {
        {"length 2: the whole 16-bit id", {0xFE, 0x02, 0x03, 0x01, 0x77}, 0x0301, {}},
        {"length 3", {0xFE, 0x03, 0x83, 0x01, 0x77}, 0x8301, {0x77}},
        {"length 0: id from the next bytes of the section", {0xFE, 0x00, 0x03}, 0x0300, {}},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        auto d = Build(c.in);
        const auto* x = As<SystemManagementDescriptor>(d);
        ASSERT_NE(nullptr, x);
        EXPECT_EQ(c.id, x->system_management_id);
        EXPECT_EQ(c.info, x->additional_identification_info);
    }
}

// ---- the whole range against damaged bytes ----

namespace {

// Runs every tag of 0xE0..0xFF over random payloads whose section ends
// right after them: first with a length byte that matches the payload,
// then with a length of 255 over a shorter payload.
void RunRandomPayloads(uint8_t lengthOverride) {
    std::mt19937 rng(0xE0E0);
    for (int tag = 0xE0; tag <= 0xFF; ++tag) {
        for (int n = 0; n <= 255; ++n) {
            std::vector<uint8_t> b(static_cast<size_t>(n) + 2);
            for (auto& x : b) x = static_cast<uint8_t>(rng());
            b[0] = static_cast<uint8_t>(tag);
            b[1] = lengthOverride ? lengthOverride : static_cast<uint8_t>(n);
            auto d = Build(b);
            if (tag < 0xFA || tag == 0xFF) {
                EXPECT_EQ(nullptr, d) << tag;
                continue;
            }
            ASSERT_NE(nullptr, d) << tag << " " << n;
            EXPECT_EQ(tag, d->descriptor_tag);
            EXPECT_EQ(b[1], d->descriptor_length);
            if (const auto* e = As<EmergencyInformationDescriptor>(d)) {
                // Each entry takes at least its four fixed bytes.
                EXPECT_LE(e->emergencies.size() * 4, b.size() + 3);
            }
        }
    }
}

}  // namespace

TEST(CreateAribDescriptorE0Test, RandomPayloadsStayInsideTheSection) {
    RunRandomPayloads(0);
}

TEST(CreateAribDescriptorE0Test, LengthPastTheSectionEnd) {
    RunRandomPayloads(0xFF);
}

}  // namespace tsvigil
