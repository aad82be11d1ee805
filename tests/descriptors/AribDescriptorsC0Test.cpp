// SPDX-License-Identifier: BSD-2-Clause
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <random>

#include "descriptors/AribDescriptorsC0.h"
#include "text/ARIBStringDecoder.h"

namespace tsvigil {

namespace {

// Tag, length = payload size, payload: an exactly-sized descriptor whose
// section ends right after it.
std::vector<uint8_t> Desc(uint8_t tag, const std::vector<uint8_t>& payload) {
    std::vector<uint8_t> b(2 + payload.size());
    b[0] = tag;
    b[1] = static_cast<uint8_t>(payload.size());
    std::copy(payload.begin(), payload.end(), b.begin() + 2);
    return b;
}

std::vector<uint8_t> Cat(std::initializer_list<std::vector<uint8_t>> parts) {
    std::vector<uint8_t> b;
    for (const auto& p : parts) b.insert(b.end(), p.begin(), p.end());
    return b;
}

// The section is the vector: CreateDescriptor may read up to its end, no further.
template <class T>
std::unique_ptr<T> Build(const std::vector<uint8_t>& b) {
    ARIBStringDecoder dec;
    std::unique_ptr<Descriptor> d = CreateDescriptor(b.data(), b.data() + b.size(), dec);
    if (dynamic_cast<T*>(d.get()) == nullptr) return nullptr;
    return std::unique_ptr<T>(static_cast<T*>(d.release()));
}

// In the initial state of an 8-unit decoder GL holds kanji and GR hiragana.
const std::vector<uint8_t> kKanjiA = {0x30, 0x21};  // U+4E9C
const char* const kKanjiASjis = "\x88\x9F";
const std::vector<uint8_t> kKanjiB = {0x30, 0x22};  // U+5516
const char* const kKanjiBSjis = "\x88\xA0";

}  // namespace

TEST(DigitalCopyControlDescriptorTest, WalksComponentsByByteBudget) {
    using Comp = std::array<int, 7>;  // tag, drcd, mbf, cct, aps, ud, max_bitrate
    struct Case {
        const char* name;
        std::vector<uint8_t> in;
        std::array<int, 8> top;  // drcd, mbf, ccf, cct, aps, ud, max_bitrate, ccl
        std::vector<Comp> comps;
    };
    // A three-byte entry (own bitrate flag) then a two-byte one.
    const std::vector<uint8_t> kEntries = {0x01, 0xE5, 0x30, 0x02, 0x4E};
    const Case kCases[] = {
        {"no flags", Desc(0xC1, {0x8E}), {2, 0, 0, 3, 2, 0xE, 0, 0}, {}},
        {"bitrate only", Desc(0xC1, {0x20, 0x7F}), {0, 1, 0, 0, 0, 0, 0x7F, 0}, {}},
        {"components, length at byte 3", Desc(0xC1, Cat({{0x10, 0x05}, kEntries})),
         {0, 0, 1, 0, 0, 0, 0, 5},
         {{1, 3, 1, 1, 1, 5, 0x30}, {2, 1, 0, 3, 2, 0xE, 0}}},
        {"bitrate and components, length at byte 4",
         Desc(0xC1, Cat({{0x30, 0x99, 0x05}, kEntries})),
         {0, 1, 1, 0, 0, 0, 0x99, 5},
         {{1, 3, 1, 1, 1, 5, 0x30}, {2, 1, 0, 3, 2, 0xE, 0}}},
        {"budget of 1 still takes a whole entry", Desc(0xC1, {0x10, 0x01, 0x07, 0x00}),
         {0, 0, 1, 0, 0, 0, 0, 1}, {{7, 0, 0, 0, 0, 0, 0}}},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        auto d = Build<DigitalCopyControlDescriptor>(c.in);
        ASSERT_NE(nullptr, d);
        EXPECT_EQ(c.top, (std::array<int, 8>{d->digital_recording_control_data,
                                             d->maximum_bitrate_flag, d->component_control_flag,
                                             d->copy_control_type, d->APS_control_data,
                                             d->user_defined, d->maximum_bitrate,
                                             d->component_control_length}));
        std::vector<Comp> got;
        for (const auto& p : d->components) {
            got.push_back({p->component_tag, p->digital_recording_control_data,
                           p->maximum_bitrate_flag, p->copy_control_type, p->APS_control_data,
                           p->user_defined, p->maximum_bitrate});
        }
        EXPECT_EQ(c.comps, got);
    }
}

TEST(AudioComponentDescriptorTest, TextFollowsLanguageCodes) {
    struct Case {
        const char* name;
        std::vector<uint8_t> in;
        int multi, main, quality, rate;
        const char* lang;
        const char* lang2;
        std::string text;
    };
    const std::vector<uint8_t> kFixed = {0xF2, 0x03, 0x10, 0x0F, 0xFF};
    const Case kCases[] = {
        {"single language", Desc(0xC4, Cat({kFixed, {0x7F, 'j', 'p', 'n'}, kKanjiA})),
         0, 1, 3, 7, "jpn", "", kKanjiASjis},
        {"two languages", Desc(0xC4, Cat({kFixed, {0x96, 'j', 'p', 'n', 'e', 'n', 'g'}, kKanjiB})),
         1, 0, 1, 3, "jpn", "eng", kKanjiBSjis},
        {"length 9, no text", Desc(0xC4, Cat({kFixed, {0x00, 'j', 'p', 'n'}})),
         0, 0, 0, 0, "jpn", "", ""},
        // length - 12 is negative: the second code comes from the section
        // bytes after the descriptor, the text is empty.
        {"two languages, length 10",
         Cat({{0xC4, 0x0A}, kFixed, {0x80, 'j', 'p', 'n', 'e', 'n', 'g'}, kKanjiA}),
         1, 0, 0, 0, "jpn", "eng", ""},
        {"length 5, section ends", Cat({{0xC4, 0x05}, kFixed}), 0, 0, 0, 0, "", "", ""},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        auto d = Build<AudioComponentDescriptor>(c.in);
        ASSERT_NE(nullptr, d);
        EXPECT_EQ(2, d->stream_content);
        EXPECT_EQ(0xFF, d->simulcast_group_tag);
        EXPECT_EQ(c.multi, d->ES_multi_lingual_flag);
        EXPECT_EQ(c.main, d->main_component_flag);
        EXPECT_EQ(c.quality, d->quality_indicator);
        EXPECT_EQ(c.rate, d->sampling_rate);
        EXPECT_STREQ(c.lang, d->ISO_639_language_code);
        EXPECT_STREQ(c.lang2, d->ISO_639_language_code_2);
        EXPECT_EQ(c.text, d->text);
    }
}

TEST(HyperlinkDescriptorTest, PrivateDataFillsTheRest) {
    struct Case {
        const char* name;
        std::vector<uint8_t> in;
        std::vector<uint8_t> selector;
        std::vector<uint8_t> priv;
    };
    const Case kCases[] = {
        {"selector 0", Desc(0xC5, {0x01, 0x02, 0x00, 0xAA, 0xBB, 0xCC}), {}, {0xAA, 0xBB, 0xCC}},
        {"private data stops at the descriptor end",
         {0xC5, 0x04, 0x01, 0x02, 0x00, 0xAA, 0x42, 0x00}, {}, {0xAA}},
        {"selector past the section end", {0xC5, 0x04, 0x01, 0x02, 0x05, 0x11, 0x22, 0x33},
         {0x11, 0x22, 0x33}, {}},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        auto d = Build<HyperlinkDescriptor>(c.in);
        ASSERT_NE(nullptr, d);
        EXPECT_EQ(1, d->hyper_linkage_type);
        EXPECT_EQ(2, d->link_destination_type);
        EXPECT_EQ(c.selector, d->selector_bytes);
        EXPECT_EQ(c.priv, d->private_data);
    }
}

namespace {

// Bytes 2-18 of a download content descriptor with the given flag byte.
std::vector<uint8_t> C9Head(uint8_t flags) {
    return {flags, 0x01, 0x02, 0x03, 0x04, 0x0A, 0x0B, 0x0C, 0x0D,
            0x00, 0x00, 0x27, 0x10, 0xFF, 0xFF, 0xFF, 0x40};
}

// A compatibility structure of one descriptor with one sub-descriptor.
const std::vector<uint8_t> kCompat = {0x00, 0x11, 0x00, 0x01,                    // length, count
                                      0x01, 0x0F, 0x01, 0x00, 0x00, 0x0E,       // type.. specifier
                                      0x12, 0x34, 0x56, 0x78, 0x01,             // model, version, n
                                      0x02, 0x02, 0xDE, 0xAD};                  // sub-descriptor
const std::vector<uint8_t> kModules = {0x00, 0x02,
                                       0x00, 0x01, 0x00, 0x00, 0x10, 0x00, 0x01, 0x55,
                                       0x00, 0x02, 0x00, 0x00, 0x20, 0x00, 0x00};

}  // namespace

TEST(DownloadContentDescriptorTest, OptionalPartsFollowWhatWasConsumed) {
    struct Case {
        const char* name;
        std::vector<uint8_t> in;
        int flags;  // reboot, add_on, compatibility, module_info, text_info as bits 4..0
        int compatDescriptors;
        int modules;
        std::vector<uint8_t> priv;
        const char* lang;
        std::string text;
    };
    const Case kCases[] = {
        {"no optional parts: private data at byte 19",
         Desc(0xC9, Cat({C9Head(0xC0), {0x02, 0xAA, 0xBB}})), 0x18, 0, 0, {0xAA, 0xBB}, "", ""},
        {"compatibility count 0 consumes 4 bytes",
         Desc(0xC9, Cat({C9Head(0x20), {0x01, 0x00, 0x00, 0x00, 0x01, 0xCC}})), 0x04, 0, 0,
         {0xCC}, "", ""},
        {"modules and text",
         Desc(0xC9, Cat({C9Head(0x18), kModules, {0x00, 'j', 'p', 'n', 0x02}, kKanjiA})), 0x03,
         0, 2, {}, "jpn", kKanjiASjis},
        {"everything",
         Desc(0xC9, Cat({C9Head(0x38), kCompat, kModules, {0x01, 0x99, 'e', 'n', 'g', 0x02},
                         kKanjiB})),
         0x07, 1, 2, {0x99}, "eng", kKanjiBSjis},
        {"text flag, section ends after private data",
         Desc(0xC9, Cat({C9Head(0x08), {0x00}})), 0x01, 0, 0, {}, "", ""},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        auto d = Build<DownloadContentDescriptor>(c.in);
        ASSERT_NE(nullptr, d);
        EXPECT_EQ(c.flags, d->reboot << 4 | d->add_on << 3 | d->compatibility_flag << 2 |
                               d->module_info_flag << 1 | d->text_info_flag);
        EXPECT_EQ(0x0A0B0C0Du, d->download_id);
        EXPECT_EQ(0x3FFFFF, d->leak_rate);  // bytes 15-17 are FF FF FF
        EXPECT_EQ(0x40, d->component_tag);
        EXPECT_EQ(size_t(c.compatDescriptors), d->compatibility.descriptors.size());
        EXPECT_EQ(c.modules, d->num_of_modules);
        EXPECT_EQ(size_t(c.modules), d->modules.size());
        EXPECT_EQ(int(c.priv.size()), d->private_data_length);
        EXPECT_EQ(c.priv, d->private_data);
        EXPECT_STREQ(c.lang, d->ISO_639_language_code);
        EXPECT_EQ(c.text, d->text);
    }
}

TEST(DownloadContentDescriptorTest, NestedStructuresKeepTheirFields) {
    auto d = Build<DownloadContentDescriptor>(
        Desc(0xC9, Cat({C9Head(0x30), kCompat, kModules, {0x00}})));
    ASSERT_NE(nullptr, d);
    const auto& comp = d->compatibility;
    EXPECT_EQ(0x11, comp.compatibilityDescriptorLength);
    EXPECT_EQ(1, comp.descriptorCount);
    ASSERT_EQ(1u, comp.descriptors.size());
    const auto& e = *comp.descriptors[0];
    EXPECT_EQ((std::array<int, 7>{1, 0x0F, 1, 0x0E, 0x1234, 0x5678, 1}),
              (std::array<int, 7>{e.descriptorType, e.descriptorLength, e.specifierType,
                                  e.specifierData, e.model, e.version, e.subDescriptorCount}));
    ASSERT_EQ(1u, e.subDescriptors.size());
    EXPECT_EQ(2, e.subDescriptors[0]->subDescriptorType);
    EXPECT_EQ(2, e.subDescriptors[0]->subDescriptorLength);
    EXPECT_EQ((std::vector<uint8_t>{0xDE, 0xAD}), e.subDescriptors[0]->additionalInformation);
    ASSERT_EQ(2u, d->modules.size());
    EXPECT_EQ(1, d->modules[0]->module_id);
    EXPECT_EQ(0x1000u, d->modules[0]->module_size);
    EXPECT_EQ((std::vector<uint8_t>{0x55}), d->modules[0]->module_info);
    EXPECT_EQ(2, d->modules[1]->module_id);
    EXPECT_EQ(0x2000u, d->modules[1]->module_size);
    EXPECT_TRUE(d->modules[1]->module_info.empty());
}

TEST(CAServiceDescriptorTest, ServiceIdsFillTheDescriptor) {
    struct Case { const char* name; std::vector<uint8_t> in; std::vector<uint16_t> ids; };
    const std::vector<uint8_t> kHead = {0x00, 0x05, 0x01, 0x02};
    const Case kCases[] = {
        {"length 4", Desc(0xCC, kHead), {}},
        {"length 8", Desc(0xCC, Cat({kHead, {0x04, 0x00, 0x04, 0x08}})), {0x0400, 0x0408}},
        {"odd length takes the pair starting inside",
         Cat({{0xCC, 0x05}, kHead, {0x04, 0x08, 0x77}}), {0x0408}},
        {"length 3", {0xCC, 0x03, 0x00, 0x05, 0x01, 0x02, 0x04, 0x00}, {}},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        auto d = Build<CAServiceDescriptor>(c.in);
        ASSERT_NE(nullptr, d);
        EXPECT_EQ(5, d->CA_system_id);
        EXPECT_EQ(1, d->ca_broadcaster_group_id);
        EXPECT_EQ(2, d->message_control);
        EXPECT_EQ(c.ids, d->service_ids);
    }
}

TEST(TSInformationDescriptorTest, TransmissionTypesFollowTheName) {
    struct Case {
        const char* name;
        std::vector<uint8_t> in;
        std::string tsName;
        std::vector<std::pair<int, std::vector<uint32_t>>> types;
    };
    const Case kCases[] = {
        {"count 0 reads only the name", Desc(0xCD, Cat({{0x05, 0x08}, kKanjiA, {0x0F, 0x00}})),
         kKanjiASjis, {}},
        {"count 2", Desc(0xCD, Cat({{0x05, 0x0A}, kKanjiA,
                                    {0x0F, 0x02, 0x04, 0x00, 0x04, 0x01, 0xAF, 0x01, 0x04, 0x08}})),
         kKanjiASjis, {{0x0F, {0x0400, 0x0401}}, {0xAF, {0x0408}}}},
        {"empty name, count 1, no services", Desc(0xCD, {0x05, 0x01, 0x0F, 0x00}), "",
         {{0x0F, {}}}},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        auto d = Build<TSInformationDescriptor>(c.in);
        ASSERT_NE(nullptr, d);
        EXPECT_EQ(5, d->remote_control_key_id);
        EXPECT_EQ(c.tsName, d->ts_name);
        std::vector<std::pair<int, std::vector<uint32_t>>> got;
        for (const auto& t : d->transmission_types) {
            got.emplace_back(t->transmission_type_info, t->service_ids);
        }
        EXPECT_EQ(c.types, got);
    }
}

TEST(ExtendedBroadcasterDescriptorTest, ReadsTerrestrialLayoutForAnyType) {
    for (uint8_t type : {0x10, 0x20, 0xF0}) {
        SCOPED_TRACE(int(type));
        auto d = Build<ExtendedBroadcasterDescriptor>(Desc(
            0xCE, {type, 0x00, 0x12, 0x21, 0x01, 0x02, 0x7F, 0xE0, 0x03, 0xEE, 0xFF}));
        ASSERT_NE(nullptr, d);
        EXPECT_EQ(type >> 4, d->broadcaster_type);
        EXPECT_EQ(0x12, d->terrestrial_broadcaster_id);
        EXPECT_EQ((std::vector<uint8_t>{0x01, 0x02}), d->affiliation_ids);
        ASSERT_EQ(1u, d->broadcaster_ids.size());
        EXPECT_EQ(0x7FE0, d->broadcaster_ids[0]->original_network_id);
        EXPECT_EQ(0x03, d->broadcaster_ids[0]->broadcaster_id);
        EXPECT_EQ((std::vector<uint8_t>{0xEE, 0xFF}), d->private_data);
    }
}

TEST(LogoTransmissionDescriptorTest, TypeSelectsMembers) {
    struct Case {
        const char* name;
        std::vector<uint8_t> in;
        std::array<int, 4> values;  // type, logo_id, logo_version, download_data_id
        std::string logoChar;
    };
    const Case kCases[] = {
        {"type 1", Desc(0xCF, {0x01, 0xFF, 0x23, 0xF4, 0x56, 0x12, 0x34}),
         {1, 0x123, 0x456, 0x1234}, ""},
        {"type 2 sets logo_id only", Desc(0xCF, {0x02, 0xFE, 0x05, 0x12, 0x34}), {2, 5, 0, 0},
         ""},
        {"type 3 text from byte 3", Desc(0xCF, Cat({{0x03}, kKanjiA})), {3, 0, 0, 0},
         kKanjiASjis},
        {"type 0 stores only the type", Desc(0xCF, {0x00, 0x01, 0x05}), {0, 0, 0, 0}, ""},
        {"type 3, length 0", {0xCF, 0x00, 0x03, 0x30, 0x21}, {3, 0, 0, 0}, ""},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        auto d = Build<LogoTransmissionDescriptor>(c.in);
        ASSERT_NE(nullptr, d);
        EXPECT_EQ(c.values, (std::array<int, 4>{d->logo_transmission_type, d->logo_id,
                                                d->logo_version, d->download_data_id}));
        EXPECT_EQ(c.logoChar, d->logo_char);
    }
}

// Texts after counted byte fields start where those counts put them, and a
// text length past the section end decodes what is there.
TEST(CreateAribDescriptorC0Test, TextsFollowCountedFields) {
    struct Case {
        const char* name;
        std::vector<uint8_t> in;
        std::function<std::string(const Descriptor&)> text;
        std::string sjis;
    };
    auto dataContent = [](const Descriptor& d) {
        return static_cast<const DataContentDescriptor&>(d).text;
    };
    auto feeName = [](const Descriptor& d) {
        return static_cast<const CAContractInfoDescriptor&>(d).fee_name;
    };
    const Case kCases[] = {
        {"0xC7 after selector 2 and 1 ref",
         Desc(0xC7, Cat({{0, 0x0C, 0x80, 0x02, 0xA1, 0xA2, 0x01, 0x40, 'j', 'p', 'n', 0x02},
                         kKanjiA})),
         dataContent, kKanjiASjis},
        {"0xC7 text length 200 over 2 bytes",
         Desc(0xC7, Cat({{0, 0x0C, 0x80, 0x00, 0x00, 'j', 'p', 'n', 0xC8}, kKanjiB})),
         dataContent, kKanjiBSjis},
        {"0xCB after 2 component tags and 2 info bytes",
         Desc(0xCB, Cat({{0x00, 0x05, 0x12, 0x10, 0x11, 0x02, 0xAB, 0xCD, 0x02}, kKanjiA})),
         feeName, kKanjiASjis},
        {"0xCB 15 component tags over 1 byte", Desc(0xCB, {0x00, 0x05, 0x1F, 0x10}), feeName,
         ""},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        ARIBStringDecoder dec;
        auto d = CreateDescriptor(c.in.data(), c.in.data() + c.in.size(), dec);
        ASSERT_NE(nullptr, d);
        EXPECT_EQ(c.sjis, c.text(*d));
    }
}

// Counts that promise far more entries than the section holds must stop at
// the section end instead of building zero-filled entries.
TEST(CreateAribDescriptorC0Test, HostileCountsStopAtSectionEnd) {
    struct Case {
        const char* name;
        std::vector<uint8_t> in;
        std::function<size_t(const Descriptor&)> entries;
        size_t expected;
    };
    auto modules = [](const Descriptor& d) {
        return static_cast<const DownloadContentDescriptor&>(d).modules.size();
    };
    auto compat = [](const Descriptor& d) {
        const auto& c = static_cast<const DownloadContentDescriptor&>(d).compatibility;
        size_t n = c.descriptors.size();
        for (const auto& e : c.descriptors) n += e->subDescriptors.size();
        return n;
    };
    const Case kCases[] = {
        {"0xC1 budget 255 over one entry", Desc(0xC1, {0x10, 0xFF, 0x07, 0x00}),
         [](const Descriptor& d) {
             return static_cast<const DigitalCopyControlDescriptor&>(d).components.size();
         },
         1},
        {"0xC9 65535 modules over 3 bytes", Desc(0xC9, Cat({C9Head(0x10), {0xFF, 0xFF, 0, 1, 2}})),
         modules, 1},
        {"0xC9 65535 compatibility descriptors over 2 bytes",
         Desc(0xC9, Cat({C9Head(0x20), {0x00, 0x00, 0xFF, 0xFF, 0x01, 0x02}})), compat, 1},
        {"0xC9 255 sub-descriptors over 1 byte",
         Desc(0xC9, Cat({C9Head(0x20), {0x00, 0x00, 0x00, 0x01, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10,
                                        0xFF, 0x02}})),
         compat, 2},
        {"0xCC length 255 over 2 bytes", {0xCC, 0xFF, 0x00, 0x05, 0x01, 0x02, 0x04, 0x00},
         [](const Descriptor& d) {
             return static_cast<const CAServiceDescriptor&>(d).service_ids.size();
         },
         1},
        {"0xCD 255 services over 3 bytes", Desc(0xCD, {0x05, 0x03, 0x0F, 0xFF, 0x04, 0x00, 0x04}),
         [](const Descriptor& d) {
             const auto& t = static_cast<const TSInformationDescriptor&>(d).transmission_types;
             return t.size() * 1000 + (t.empty() ? 0 : t[0]->service_ids.size());
         },
         1002},
        {"0xCE 15 + 15 entries over 1 byte", Desc(0xCE, {0x10, 0x00, 0x12, 0xFF, 0x01}),
         [](const Descriptor& d) {
             const auto& e = static_cast<const ExtendedBroadcasterDescriptor&>(d);
             return e.affiliation_ids.size() * 1000 + e.broadcaster_ids.size();
         },
         1000},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        ARIBStringDecoder dec;
        auto d = CreateDescriptor(c.in.data(), c.in.data() + c.in.size(), dec);
        ASSERT_NE(nullptr, d);
        EXPECT_EQ(c.expected, c.entries(*d));
    }
}

// Every tag of the range with random payloads of every length, in sections
// that end right after the descriptor or inside it; AddressSanitizer
// catches any read outside the exactly-sized vector.
TEST(CreateAribDescriptorC0Test, RandomPayloadsStayInsideSection) {
    std::mt19937 rng(0xC0C0);
    for (int tag = 0xC0; tag <= 0xCF; ++tag) {
        const bool handled = tag != 0xC2 && tag != 0xC3 && tag != 0xC6 && tag != 0xCA;
        for (int length = 0; length <= 255; ++length) {
            for (int variant = 0; variant < 4; ++variant) {
                // Odd variants favour 0xFF so counts and flags run high.
                std::vector<uint8_t> payload(static_cast<size_t>(length));
                for (auto& b : payload) {
                    b = static_cast<uint8_t>((variant & 1) && rng() % 2 ? 0xFF : rng());
                }
                std::vector<uint8_t> in = Desc(static_cast<uint8_t>(tag), payload);
                if (variant >= 2) in.resize(2 + rng() % (static_cast<size_t>(length) + 1));
                in.shrink_to_fit();
                ARIBStringDecoder dec;
                auto d = CreateDescriptor(in.data(), in.data() + in.size(), dec);
                if (!handled) {
                    EXPECT_EQ(nullptr, d) << "tag " << tag;
                    continue;
                }
                ASSERT_NE(nullptr, d) << "tag " << tag << " length " << length;
                EXPECT_EQ(tag, d->descriptor_tag);
                EXPECT_EQ(length, d->descriptor_length);
            }
        }
    }
}

}  // namespace tsvigil
