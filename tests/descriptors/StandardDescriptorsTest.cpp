// SPDX-License-Identifier: BSD-2-Clause
#include "descriptors/StandardDescriptors.h"

#include <gtest/gtest.h>

#include <random>

#include "text/ARIBStringDecoder.h"

namespace tsvigil {

namespace {

// Shift_JIS of the texts below: JIS 30 21 亜, 30 22 唖, SP the full-width
// space, and the alphanumeric set's full-width Ａ and Ｂ.
const char kA[] = "\x88\x9F";
const char kAa[] = "\x88\xA0";
const char kSpace[] = "\x81\x40";
const char kFullA[] = "\x82\x60";
const char kFullB[] = "\x82\x61";

// The section ends with the last byte of b, so ASan catches any read past it.
template <class T>
std::unique_ptr<T> Build(const std::vector<uint8_t>& b, ARIBStringDecoder& dec) {
    std::unique_ptr<Descriptor> d = CreateDescriptor(b.data(), b.data() + b.size(), dec);
    if (dynamic_cast<T*>(d.get()) == nullptr) return nullptr;
    return std::unique_ptr<T>(static_cast<T*>(d.release()));
}

template <class T>
std::unique_ptr<T> Build(const std::vector<uint8_t>& b) {
    ARIBStringDecoder dec;
    return Build<T>(b, dec);
}

}  // namespace

TEST(ShortEventDescriptorTest, ReadsNamesAndTexts) {
    struct Case {
        const char* name;
        std::vector<uint8_t> in;
        const char* lang;
        int event_name_length;
        std::string event_name;
        int text_length;
        std::string text;
    };
    const Case kCases[] = {
        {"name and text",
         {0x4D, 0x0A, 0x6A, 0x70, 0x6E, 0x03, 0x30, 0x21, 0x20, 0x02, 0x30, 0x22},
         "jpn", 3, std::string(kA) + kSpace, 2, kAa},
        {"empty name, text_length from byte 6",
         {0x4D, 0x07, 0x6A, 0x70, 0x6E, 0x00, 0x02, 0x30, 0x22},
         "jpn", 0, "", 2, kAa},
        {"name length past the section end",
         {0x4D, 0x0A, 0x6A, 0x70, 0x6E, 0x0A, 0x30, 0x21},
         "jpn", 10, kA, 0, ""},
        {"name ends inside a two-byte character at the section end",
         {0x4D, 0x05, 0x6A, 0x70, 0x6E, 0x03, 0x30, 0x21, 0x30},
         "jpn", 3, kA, 0, ""},
        {"name length past the descriptor takes the section's next bytes",
         {0x4D, 0x06, 0x6A, 0x70, 0x6E, 0x04, 0x30, 0x21, 0x30, 0x22, 0x00},
         "jpn", 4, std::string(kA) + kAa, 0, ""},
        {"section ends after the length byte", {0x4D, 0x0A}, "", 0, "", 0, ""},
        {"language code cut short", {0x4D, 0x0A, 0x6A, 0x70}, "jp", 0, "", 0, ""},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        auto d = Build<ShortEventDescriptor>(c.in);
        ASSERT_NE(nullptr, d);
        EXPECT_EQ(0x4D, d->descriptor_tag);
        EXPECT_EQ(c.in[1], d->descriptor_length);
        EXPECT_STREQ(c.lang, d->ISO_639_language_code);
        EXPECT_EQ('\0', d->ISO_639_language_code[3]);
        EXPECT_EQ(c.event_name_length, d->event_name_length);
        EXPECT_EQ(c.event_name, d->event_name);
        EXPECT_EQ(c.text_length, d->text_length);
        EXPECT_EQ(c.text, d->text);
    }
}

TEST(ShortEventDescriptorTest, NameDoesNotDependOnEarlierDecoderState) {
    ARIBStringDecoder dec;
    // LS1 leaves the alphanumeric set invoked into GL.
    const std::vector<uint8_t> first = {0x40, 0x02, 0x0E, 0x41};
    const std::vector<uint8_t> second = {0x4D, 0x07, 0x6A, 0x70, 0x6E, 0x02, 0x30, 0x21, 0x00};
    ASSERT_NE(nullptr, Build<NetworkNameDescriptor>(first, dec));
    auto d = Build<ShortEventDescriptor>(second, dec);
    ASSERT_NE(nullptr, d);
    EXPECT_EQ(kA, d->event_name);
}

TEST(ExtendedEventDescriptorTest, ReadsItemLoop) {
    struct Item {
        int item_description_length;
        std::string item_description;
        int item_length;
        std::string item;
    };
    struct Case {
        const char* name;
        std::vector<uint8_t> in;
        int descriptor_number;
        int last_descriptor_number;
        int length_of_items;
        std::vector<Item> items;
        int text_length;
        std::string text;
    };
    const Case kCases[] = {
        {"no items, text_length from byte 7",
         {0x4E, 0x08, 0x01, 0x6A, 0x70, 0x6E, 0x00, 0x02, 0x30, 0x21},
         0, 1, 0, {}, 2, kA},
        {"continuation keeps the designation made by the item before",
         {0x4E, 0x11, 0x12, 0x6A, 0x70, 0x6E, 0x0B,
          0x02, 0x30, 0x21, 0x04, 0x1B, 0x28, 0x4A, 0x41,  // ESC ( J: alphanumeric into G0
          0x00, 0x01, 0x42,
          0x00},
         1, 2, 11, {{2, kA, 4, kFullA}, {0, "", 1, kFullB}}, 0, ""},
        {"continuation completes a two-byte character split across items",
         {0x4E, 0x0E, 0x00, 0x6A, 0x70, 0x6E, 0x08,
          0x02, 0x30, 0x21, 0x01, 0x30,
          0x00, 0x01, 0x22,
          0x00},
         0, 0, 8, {{2, kA, 1, ""}, {0, "", 1, kAa}}, 0, ""},
        {"an item with a description starts from the initial state",
         {0x4E, 0x13, 0x00, 0x6A, 0x70, 0x6E, 0x0D,
          0x02, 0x30, 0x21, 0x04, 0x1B, 0x28, 0x4A, 0x41,
          0x01, 0x41, 0x02, 0x30, 0x22,
          0x00},
         0, 0, 13, {{2, kA, 4, kFullA}, {1, "", 2, kAa}}, 0, ""},
        {"items overrunning length_of_items leave text_length at byte 7 + L",
         {0x4E, 0x0A, 0x00, 0x6A, 0x70, 0x6E, 0x02, 0x00, 0x02, 0x02, 0x30, 0x21},
         0, 0, 2, {{0, "", 2, ""}}, 2, kA},
        {"section ends inside the first item",
         {0x4E, 0x10, 0x00, 0x6A, 0x70, 0x6E, 0x0A, 0x02, 0x30},
         0, 0, 10, {{2, "", 0, ""}}, 0, ""},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        auto d = Build<ExtendedEventDescriptor>(c.in);
        ASSERT_NE(nullptr, d);
        EXPECT_EQ(c.descriptor_number, d->descriptor_number);
        EXPECT_EQ(c.last_descriptor_number, d->last_descriptor_number);
        EXPECT_STREQ("jpn", d->ISO_639_language_code);
        EXPECT_EQ(c.length_of_items, d->length_of_items);
        ASSERT_EQ(c.items.size(), d->items.size());
        for (size_t i = 0; i < c.items.size(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(c.items[i].item_description_length, d->items[i]->item_description_length);
            EXPECT_EQ(c.items[i].item_description, d->items[i]->item_description);
            EXPECT_EQ(c.items[i].item_length, d->items[i]->item_length);
            EXPECT_EQ(c.items[i].item, d->items[i]->item);
        }
        EXPECT_EQ(c.text_length, d->text_length);
        EXPECT_EQ(c.text, d->text);
    }
}

// A continuation item in the second descriptor of an event goes on from the
// first descriptor's last item, even though that descriptor had a text.
TEST(ExtendedEventDescriptorTest, ContinuationCrossesDescriptors) {
    const std::vector<uint8_t> loop = {
        0x4E, 0x10, 0x01, 0x6A, 0x70, 0x6E, 0x08,
        0x02, 0x30, 0x21, 0x04, 0x1B, 0x28, 0x4A, 0x41,
        0x02, 0x30, 0x22,
        0x4E, 0x09, 0x11, 0x6A, 0x70, 0x6E, 0x03, 0x00, 0x01, 0x42, 0x00,
    };
    ARIBStringDecoder dec;
    DescriptorList list;
    ParseDescriptorLoop(list, ByteReader(loop.data(), loop.size()), dec);
    ASSERT_EQ(2u, list.size());
    auto* first = dynamic_cast<ExtendedEventDescriptor*>(list[0].get());
    auto* second = dynamic_cast<ExtendedEventDescriptor*>(list[1].get());
    ASSERT_NE(nullptr, first);
    ASSERT_NE(nullptr, second);
    ASSERT_EQ(1u, first->items.size());
    EXPECT_EQ(kFullA, first->items[0]->item);
    EXPECT_EQ(kAa, first->text);  // from the initial state, not the designation
    ASSERT_EQ(1u, second->items.size());
    EXPECT_EQ(kFullB, second->items[0]->item);
}

TEST(CADescriptorTest, ReadsFixedPartAndPrivateData) {
    struct Case {
        const char* name;
        std::vector<uint8_t> in;
        int CA_system_id;
        int CA_PID;
        std::vector<uint8_t> private_data;
    };
    const Case kCases[] = {
        {"length 4", {0x09, 0x04, 0x00, 0x05, 0xE1, 0x23}, 5, 0x0123, {}},
        {"length 6", {0x09, 0x06, 0x00, 0x05, 0xE1, 0x23, 0xAA, 0xBB}, 5, 0x0123, {0xAA, 0xBB}},
        {"length 5", {0x09, 0x05, 0x00, 0x05, 0xE1, 0x23, 0xAA, 0xBB}, 5, 0x0123, {0xAA}},
        {"length 2 reads its PID from the next bytes",
         {0x09, 0x02, 0x00, 0x05, 0x42, 0x00}, 5, 0x0200, {}},
        {"private data cut by the section end", {0x09, 0x08, 0x00, 0x05, 0xE1, 0x23, 0xAA},
         5, 0x0123, {0xAA}},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        auto d = Build<CADescriptor>(c.in);
        ASSERT_NE(nullptr, d);
        EXPECT_EQ(c.CA_system_id, d->CA_system_id);
        EXPECT_EQ(c.CA_PID, d->CA_PID);
        EXPECT_EQ(c.private_data, d->private_data);
    }
}

TEST(ServiceListDescriptorTest, OneServicePerThreeBytes) {
    struct Case {
        const char* name;
        std::vector<uint8_t> in;
        std::vector<std::pair<int, int>> services;
    };
    const Case kCases[] = {
        {"length 6", {0x41, 0x06, 0x04, 0x00, 0x01, 0x04, 0x01, 0x02}, {{0x400, 1}, {0x401, 2}}},
        {"length 0", {0x41, 0x00, 0x04, 0x00, 0x01}, {}},
        {"length 4 takes its last entry from the bytes that follow",
         {0x41, 0x04, 0x04, 0x00, 0x01, 0x04, 0x01, 0x02}, {{0x400, 1}, {0x401, 2}}},
        {"last entry cut by the section end", {0x41, 0x04, 0x04, 0x00, 0x01, 0x04},
         {{0x400, 1}, {0x400, 0}}},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        auto d = Build<ServiceListDescriptor>(c.in);
        ASSERT_NE(nullptr, d);
        ASSERT_EQ(c.services.size(), d->services.size());
        for (size_t i = 0; i < c.services.size(); ++i) {
            EXPECT_EQ(c.services[i].first, d->services[i]->service_id);
            EXPECT_EQ(c.services[i].second, d->services[i]->service_type);
        }
    }
}

TEST(StuffingDescriptorTest, KeepsItsBytes) {
    struct Case {
        const char* name;
        std::vector<uint8_t> in;
        std::vector<uint8_t> stuffing_bytes;
    };
    const Case kCases[] = {
        {"length 0", {0x42, 0x00}, {}},
        {"length 3 before another descriptor", {0x42, 0x03, 0xFF, 0xFE, 0xFD, 0x42, 0x00},
         {0xFF, 0xFE, 0xFD}},
        {"cut by the section end", {0x42, 0x05, 0xFF, 0xFE}, {0xFF, 0xFE}},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        auto d = Build<StuffingDescriptor>(c.in);
        ASSERT_NE(nullptr, d);
        EXPECT_EQ(c.stuffing_bytes, d->stuffing_bytes);
    }
}

TEST(SatelliteDeliverySystemDescriptorTest, ReadsBcdFields) {
    struct Case {
        const char* name;
        std::vector<uint8_t> in;
        int frequency, orbital_position, west_east_flag, polarisation, modulation, symbol_rate,
            FEC_inner;
    };
    const Case kCases[] = {
        {"BCD values",
         {0x43, 0x0B, 0x01, 0x27, 0x48, 0x00, 0x11, 0x00, 0xC5, 0x02, 0x88, 0x60, 0x03},
         1274800, 1100, 1, 2, 5, 288600, 3},
        {"nibbles above 9 count with their value",
         {0x43, 0x0B, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0xFF, 0xFF, 0xFF, 0xFF},
         166666665, 16665, 0, 0, 0, 16666665, 15},
        {"cut after the frequency", {0x43, 0x0B, 0x01, 0x27, 0x48, 0x00}, 1274800, 0, 0, 0, 0, 0,
         0},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        auto d = Build<SatelliteDeliverySystemDescriptor>(c.in);
        ASSERT_NE(nullptr, d);
        EXPECT_EQ(c.frequency, d->frequency);
        EXPECT_EQ(c.orbital_position, d->orbital_position);
        EXPECT_EQ(c.west_east_flag, d->west_east_flag);
        EXPECT_EQ(c.polarisation, d->polarisation);
        EXPECT_EQ(c.modulation, d->modulation);
        EXPECT_EQ(c.symbol_rate, d->symbol_rate);
        EXPECT_EQ(c.FEC_inner, d->FEC_inner);
    }
}

TEST(ServiceDescriptorTest, ReadsBothNames) {
    struct Case {
        const char* name;
        std::vector<uint8_t> in;
        int service_type, N;
        std::string provider;
        int M;
        std::string service;
    };
    const Case kCases[] = {
        {"both names", {0x48, 0x08, 0x01, 0x02, 0x30, 0x21, 0x03, 0x30, 0x22, 0x20}, 1, 2, kA, 3,
         std::string(kAa) + kSpace},
        {"provider name length past the section end", {0x48, 0x07, 0x01, 0x09, 0x30, 0x21}, 1, 9,
         kA, 0, ""},
        {"section ends after the type", {0x48, 0x07, 0x01}, 1, 0, "", 0, ""},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        auto d = Build<ServiceDescriptor>(c.in);
        ASSERT_NE(nullptr, d);
        EXPECT_EQ(c.service_type, d->service_type);
        EXPECT_EQ(c.N, d->service_provider_name_length);
        EXPECT_EQ(c.provider, d->service_provider_name);
        EXPECT_EQ(c.M, d->service_name_length);
        EXPECT_EQ(c.service, d->service_name);
    }
}

TEST(NetworkNameDescriptorTest, NamesOfNetworkAndBouquet) {
    struct Case {
        const char* name;
        std::vector<uint8_t> in;
        std::string text;
    };
    const Case kCases[] = {
        {"network name", {0x40, 0x02, 0x30, 0x21}, kA},
        {"bouquet name", {0x47, 0x02, 0x30, 0x22}, kAa},
        {"network name past the section end", {0x40, 0x09, 0x30, 0x21}, kA},
        {"bouquet name past the section end", {0x47, 0x09, 0x30, 0x22, 0x30}, kAa},
        {"empty network name", {0x40, 0x00}, ""},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        if (c.in[0] == 0x40) {
            auto d = Build<NetworkNameDescriptor>(c.in);
            ASSERT_NE(nullptr, d);
            EXPECT_EQ(c.text, d->network_name);
        } else {
            auto d = Build<BouquetNameDescriptor>(c.in);
            ASSERT_NE(nullptr, d);
            EXPECT_EQ(c.text, d->bouquet_name);
        }
    }
}

TEST(LinkageDescriptorTest, ReadsFixedPartAndPrivateData) {
    struct Case {
        const char* name;
        std::vector<uint8_t> in;
        std::vector<uint8_t> private_data;
    };
    const Case kCases[] = {
        {"two private bytes",
         {0x4A, 0x09, 0x00, 0x01, 0x00, 0x04, 0x04, 0x08, 0x09, 0xAA, 0xBB}, {0xAA, 0xBB}},
        {"fixed part only", {0x4A, 0x07, 0x00, 0x01, 0x00, 0x04, 0x04, 0x08, 0x09, 0xAA}, {}},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        auto d = Build<LinkageDescriptor>(c.in);
        ASSERT_NE(nullptr, d);
        EXPECT_EQ(1, d->transport_stream_id);
        EXPECT_EQ(4, d->original_network_id);
        EXPECT_EQ(0x0408, d->service_id);
        EXPECT_EQ(9, d->linkage_type);
        EXPECT_EQ(c.private_data, d->private_data);
    }
}

TEST(ComponentDescriptorTest, TextIsWhatFollowsTheFixedPart) {
    struct Case {
        const char* name;
        std::vector<uint8_t> in;
        int stream_content, component_type, component_tag;
        const char* lang;
        std::string text;
    };
    const Case kCases[] = {
        {"length 6", {0x50, 0x06, 0xF1, 0xB3, 0x00, 0x6A, 0x70, 0x6E}, 1, 0xB3, 0, "jpn", ""},
        {"with text", {0x50, 0x08, 0x01, 0xB3, 0x10, 0x6A, 0x70, 0x6E, 0x30, 0x21}, 1, 0xB3,
         0x10, "jpn", kA},
        {"length 3 at the section end", {0x50, 0x03, 0x01, 0xB3, 0x00}, 1, 0xB3, 0, "", ""},
        {"length 2 reads its fixed part from the next bytes, no text",
         {0x50, 0x02, 0x01, 0xB3, 0x4D, 0x6A, 0x70, 0x6E, 0x30, 0x21}, 1, 0xB3, 0x4D, "jpn", ""},
        {"text past the section end", {0x50, 0x0A, 0x01, 0xB3, 0x00, 0x6A, 0x70, 0x6E, 0x30,
         0x22}, 1, 0xB3, 0, "jpn", kAa},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        auto d = Build<ComponentDescriptor>(c.in);
        ASSERT_NE(nullptr, d);
        EXPECT_EQ(c.stream_content, d->stream_content);
        EXPECT_EQ(c.component_type, d->component_type);
        EXPECT_EQ(c.component_tag, d->component_tag);
        EXPECT_STREQ(c.lang, d->ISO_639_language_code);
        EXPECT_EQ(c.text, d->text);
    }
}

TEST(CAIdentifierDescriptorTest, OneIdentifierPerPair) {
    struct Case {
        const char* name;
        std::vector<uint8_t> in;
        std::vector<uint16_t> ids;
    };
    const Case kCases[] = {
        {"length 4", {0x53, 0x04, 0x00, 0x05, 0x00, 0x0A}, {0x0005, 0x000A}},
        {"odd length takes the next byte", {0x53, 0x03, 0x00, 0x05, 0x01, 0x0A}, {0x0005, 0x010A}},
        {"odd length at the section end", {0x53, 0x03, 0x00, 0x05, 0x01}, {0x0005, 0x0100}},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        auto d = Build<CAIdentifierDescriptor>(c.in);
        ASSERT_NE(nullptr, d);
        EXPECT_EQ(c.ids, d->CA_system_ids);
    }
}

TEST(ContentDescriptorTest, OddLastByteIsIgnored) {
    auto d = Build<ContentDescriptor>({0x54, 0x05, 0x12, 0x34, 0x56, 0x78, 0x9A});
    ASSERT_NE(nullptr, d);
    ASSERT_EQ(2u, d->nibbles.size());
    const int expected[2][4] = {{1, 2, 3, 4}, {5, 6, 7, 8}};
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(expected[i][0], d->nibbles[i]->content_nibble_level_1);
        EXPECT_EQ(expected[i][1], d->nibbles[i]->content_nibble_level_2);
        EXPECT_EQ(expected[i][2], d->nibbles[i]->user_nibble_1);
        EXPECT_EQ(expected[i][3], d->nibbles[i]->user_nibble_2);
    }
}

TEST(ParentalRatingDescriptorTest, FourBytesPerRating) {
    struct Case {
        const char* name;
        std::vector<uint8_t> in;
        size_t count;
    };
    const Case kCases[] = {
        {"length 4", {0x55, 0x04, 0x4A, 0x50, 0x4E, 0x0B}, 1},
        {"three last bytes ignored", {0x55, 0x07, 0x4A, 0x50, 0x4E, 0x0B, 0x4A, 0x50, 0x4E}, 1},
        {"length 3", {0x55, 0x03, 0x4A, 0x50, 0x4E}, 0},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        auto d = Build<ParentalRatingDescriptor>(c.in);
        ASSERT_NE(nullptr, d);
        ASSERT_EQ(c.count, d->ratings.size());
        if (c.count == 0) continue;
        EXPECT_STREQ("JPN", d->ratings[0]->country_code);
        EXPECT_EQ(11, d->ratings[0]->rating);
    }
}

// Every tag of the range with every length, over fixed and random payloads,
// in a section that ends right after the descriptor or earlier. One decoder
// serves each payload so that continuation state carries from one call to
// the next as it would in a real loop.
TEST(CreateStandardDescriptorTest, EveryLengthStaysInsideTheSection) {
    const int kTags[] = {0x09, 0x40, 0x41, 0x42, 0x43, 0x47, 0x48, 0x4A,
                         0x4D, 0x4E, 0x4F, 0x50, 0x52, 0x53, 0x54, 0x55};
    std::mt19937 rng(20080601);
    for (int pattern = 0; pattern < 6; ++pattern) {
        ARIBStringDecoder dec;
        for (int tag : kTags) {
            for (int length = 0; length <= 255; ++length) {
                SCOPED_TRACE(testing::Message() << "pattern " << pattern << " tag " << tag
                                                << " length " << length);
                std::vector<uint8_t> b(2 + static_cast<size_t>(length));
                b[0] = static_cast<uint8_t>(tag);
                b[1] = static_cast<uint8_t>(length);
                for (size_t i = 2; i < b.size(); ++i) {
                    switch (pattern) {
                        case 0: b[i] = 0x00; break;
                        case 1: b[i] = 0xFF; break;
                        case 2: b[i] = static_cast<uint8_t>(i); break;
                        case 3: b[i] = static_cast<uint8_t>(length); break;  // lengths = length
                        default: b[i] = static_cast<uint8_t>(rng()); break;
                    }
                }
                auto d = CreateDescriptor(b.data(), b.data() + b.size(), dec);
                ASSERT_NE(nullptr, d);
                EXPECT_EQ(tag, d->descriptor_tag);
                EXPECT_EQ(length, d->descriptor_length);
                // Entry loops run exactly over the descriptor when it is whole.
                const size_t n = static_cast<size_t>(length);
                if (auto* s = dynamic_cast<ServiceListDescriptor*>(d.get())) {
                    EXPECT_EQ((n + 2) / 3, s->services.size());
                } else if (auto* s = dynamic_cast<CAIdentifierDescriptor*>(d.get())) {
                    EXPECT_EQ((n + 1) / 2, s->CA_system_ids.size());
                } else if (auto* s = dynamic_cast<ContentDescriptor*>(d.get())) {
                    EXPECT_EQ(n / 2, s->nibbles.size());
                } else if (auto* s = dynamic_cast<ParentalRatingDescriptor*>(d.get())) {
                    EXPECT_EQ(n / 4, s->ratings.size());
                } else if (auto* s = dynamic_cast<StuffingDescriptor*>(d.get())) {
                    EXPECT_EQ(n, s->stuffing_bytes.size());
                } else if (auto* s = dynamic_cast<CADescriptor*>(d.get())) {
                    EXPECT_EQ(n > 4 ? n - 4 : 0, s->private_data.size());
                } else if (auto* s = dynamic_cast<LinkageDescriptor*>(d.get())) {
                    EXPECT_EQ(n > 7 ? n - 7 : 0, s->private_data.size());
                }
                // The same bytes in sections cut short, each exactly sized.
                for (size_t cut : {size_t(1), size_t(2), size_t(3), 2 + n / 2, 1 + n}) {
                    if (cut >= b.size()) continue;
                    const std::vector<uint8_t> shortSection(b.begin(), b.begin() + cut);
                    auto t = CreateDescriptor(shortSection.data(),
                                              shortSection.data() + shortSection.size(), dec);
                    ASSERT_NE(nullptr, t);
                    EXPECT_EQ(tag, t->descriptor_tag);
                }
            }
        }
    }
}

}  // namespace tsvigil
