// SPDX-License-Identifier: BSD-2-Clause
#pragma once

// Descriptors below tag 0xC0: the conditional access descriptor of
// ISO/IEC 13818-1 and the descriptors 0x40 to 0x55 that ARIB STD-B10 shares
// with the DVB SI tables. Members carry the field names of the standards;
// plain fields hold the field's value zero-extended.

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "descriptors/Descriptor.h"
#include "base/Object.h"

namespace tsvigil {

class CADescriptor : public Descriptor {
public:
    static constexpr int kTag = 0x09;
    static std::unique_ptr<Descriptor> Build(int length, ByteReader& r, ARIBStringDecoder& dec);

    int CA_system_id = 0;
    int CA_PID = 0;
    std::vector<uint8_t> private_data;
};

class NetworkNameDescriptor : public Descriptor {
public:
    static constexpr int kTag = 0x40;
    static std::unique_ptr<Descriptor> Build(int length, ByteReader& r, ARIBStringDecoder& dec);

    std::string network_name;
};

class ServiceListDescriptorService : public Object {
public:
    ServiceListDescriptorService(int id, int type) : service_id(id), service_type(type) {}
    int service_id = 0;
    int service_type = 0;
};

class ServiceListDescriptor : public Descriptor {
public:
    static constexpr int kTag = 0x41;
    static std::unique_ptr<Descriptor> Build(int length, ByteReader& r, ARIBStringDecoder& dec);

    std::vector<std::unique_ptr<ServiceListDescriptorService>> services;

    void AddService(int service_id, int service_type);
};

class StuffingDescriptor : public Descriptor {
public:
    static constexpr int kTag = 0x42;
    static std::unique_ptr<Descriptor> Build(int length, ByteReader& r, ARIBStringDecoder& dec);

    std::vector<uint8_t> stuffing_bytes;
};

class SatelliteDeliverySystemDescriptor : public Descriptor {
public:
    static constexpr int kTag = 0x43;
    static std::unique_ptr<Descriptor> Build(int length, ByteReader& r, ARIBStringDecoder& dec);

    int frequency = 0;
    int orbital_position = 0;
    int west_east_flag = 0;
    int polarisation = 0;
    int modulation = 0;
    int symbol_rate = 0;
    int FEC_inner = 0;
};

class BouquetNameDescriptor : public Descriptor {
public:
    static constexpr int kTag = 0x47;
    static std::unique_ptr<Descriptor> Build(int length, ByteReader& r, ARIBStringDecoder& dec);

    std::string bouquet_name;
};

class ServiceDescriptor : public Descriptor {
public:
    static constexpr int kTag = 0x48;
    static std::unique_ptr<Descriptor> Build(int length, ByteReader& r, ARIBStringDecoder& dec);

    int service_type = 0;
    int service_provider_name_length = 0;
    std::string service_provider_name;
    int service_name_length = 0;
    std::string service_name;
    std::string service_name_bytes;  // as sent, undecoded
};

class LinkageDescriptor : public Descriptor {
public:
    static constexpr int kTag = 0x4A;
    static std::unique_ptr<Descriptor> Build(int length, ByteReader& r, ARIBStringDecoder& dec);

    int transport_stream_id = 0;
    int original_network_id = 0;
    int service_id = 0;
    int linkage_type = 0;
    std::vector<uint8_t> private_data;
};

class ShortEventDescriptor : public Descriptor {
public:
    static constexpr int kTag = 0x4D;
    static std::unique_ptr<Descriptor> Build(int length, ByteReader& r, ARIBStringDecoder& dec);

    char ISO_639_language_code[4] = {};
    int event_name_length = 0;
    std::string event_name;
    int text_length = 0;
    std::string text;
};

class ExtendedEventDescriptorItem : public Object {
public:
    ExtendedEventDescriptorItem(std::string description, int description_length,
                                 std::string item_text, int item_text_length)
        : item_description_length(description_length),
          item_description(std::move(description)),
          item_length(item_text_length),
          item(std::move(item_text)) {}
    int item_description_length = 0;
    std::string item_description;
    int item_length = 0;
    std::string item;
};

class ExtendedEventDescriptor : public Descriptor {
public:
    static constexpr int kTag = 0x4E;
    static std::unique_ptr<Descriptor> Build(int length, ByteReader& r, ARIBStringDecoder& dec);

    std::vector<std::unique_ptr<ExtendedEventDescriptorItem>> items;
    int descriptor_number = 0;
    int last_descriptor_number = 0;
    char ISO_639_language_code[4] = {};
    int length_of_items = 0;
    int text_length = 0;
    std::string text;

    void AddItem(std::string item_description, int item_description_length, std::string item,
                 int item_length);
};

class TimeShiftedEventDescriptor : public Descriptor {
public:
    static constexpr int kTag = 0x4F;
    static std::unique_ptr<Descriptor> Build(int length, ByteReader& r, ARIBStringDecoder& dec);

    int reference_service_id = 0;
    int reference_event_id = 0;
};

class ComponentDescriptor : public Descriptor {
public:
    static constexpr int kTag = 0x50;
    static std::unique_ptr<Descriptor> Build(int length, ByteReader& r, ARIBStringDecoder& dec);

    int stream_content = 0;
    int component_type = 0;
    int component_tag = 0;
    char ISO_639_language_code[4] = {};
    std::string text;
};

class StreamIdentifierDescriptor : public Descriptor {
public:
    static constexpr int kTag = 0x52;
    static std::unique_ptr<Descriptor> Build(int length, ByteReader& r, ARIBStringDecoder& dec);

    int component_tag = 0;
};

class CAIdentifierDescriptor : public Descriptor {
public:
    static constexpr int kTag = 0x53;
    static std::unique_ptr<Descriptor> Build(int length, ByteReader& r, ARIBStringDecoder& dec);

    std::vector<uint16_t> CA_system_ids;
};

class ContentDescriptorNibble : public Object {
public:
    ContentDescriptorNibble(int level1, int level2, int user1, int user2)
        : content_nibble_level_1(level1),
          content_nibble_level_2(level2),
          user_nibble_1(user1),
          user_nibble_2(user2) {}
    int content_nibble_level_1 = 0;
    int content_nibble_level_2 = 0;
    int user_nibble_1 = 0;
    int user_nibble_2 = 0;
};

class ContentDescriptor : public Descriptor {
public:
    static constexpr int kTag = 0x54;
    static std::unique_ptr<Descriptor> Build(int length, ByteReader& r, ARIBStringDecoder& dec);

    std::vector<std::unique_ptr<ContentDescriptorNibble>> nibbles;

    void AddNibble(int content_nibble_level_1, int content_nibble_level_2, int user_nibble_1,
                   int user_nibble_2);
};

class ParentalRatingDescriptorRating : public Object {
public:
    char country_code[4] = {};
    int rating = 0;
};

class ParentalRatingDescriptor : public Descriptor {
public:
    static constexpr int kTag = 0x55;
    static std::unique_ptr<Descriptor> Build(int length, ByteReader& r, ARIBStringDecoder& dec);

    std::vector<std::unique_ptr<ParentalRatingDescriptorRating>> ratings;

    // Copies the three bytes of country_code (a language-code style array,
    // not a C string) and terminates the copy.
    void AddRating(const char* country_code, int rating);
};

// The descriptors of this range that CreateDescriptor() builds, each under
// its class's kTag.
inline constexpr DescriptorBuilder kStandardDescriptorBuilders[] = {
    BuilderOf<CADescriptor>(),
    BuilderOf<NetworkNameDescriptor>(),
    BuilderOf<ServiceListDescriptor>(),
    BuilderOf<StuffingDescriptor>(),
    BuilderOf<SatelliteDeliverySystemDescriptor>(),
    BuilderOf<BouquetNameDescriptor>(),
    BuilderOf<ServiceDescriptor>(),
    BuilderOf<LinkageDescriptor>(),
    BuilderOf<ShortEventDescriptor>(),
    BuilderOf<ExtendedEventDescriptor>(),
    BuilderOf<TimeShiftedEventDescriptor>(),
    BuilderOf<ComponentDescriptor>(),
    BuilderOf<StreamIdentifierDescriptor>(),
    BuilderOf<CAIdentifierDescriptor>(),
    BuilderOf<ContentDescriptor>(),
    BuilderOf<ParentalRatingDescriptor>(),
};

}  // namespace tsvigil
