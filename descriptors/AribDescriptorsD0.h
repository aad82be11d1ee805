// SPDX-License-Identifier: BSD-2-Clause
#pragma once

// ARIB STD-B10 descriptors of the tag range 0xD0 to 0xDF: series, event
// group, SI parameter, broadcaster name, component group, LDT linkage and
// content availability. Built by CreateDescriptor().
//
// The operations that take a ByteReader by value get a reader whose first
// byte is the entry's first byte and which ends with the descriptor loop; they
// return the number of bytes the entry claims, and the caller steps over
// that many.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/TimeValue.h"
#include "descriptors/Descriptor.h"

namespace tsvigil {

class SeriesDescriptor : public Descriptor {
public:
    static constexpr int kTag = 0xD5;
    static std::unique_ptr<Descriptor> Build(int length, ByteReader& r, ARIBStringDecoder& dec);

    int series_id = 0;
    int repeat_label = 0;
    int program_pattern = 0;
    int expire_date_valid_flag = 0;
    TimeValue expire_date;  // stays 0 when the MJD is not a representable date
    int episode_number = 0;
    int last_episode_number = 0;
    std::string series_name;
};

class EventGroupDescriptorEvent : public Object {
public:
    int service_id = 0;
    int event_id = 0;
};

class EventGroupDescriptorGroup : public Object {
public:
    int original_network_id = 0;
    int transport_stream_id = 0;
    int service_id = 0;
    int event_id = 0;
};

class EventGroupDescriptor : public Descriptor {
public:
    static constexpr int kTag = 0xD6;
    static std::unique_ptr<Descriptor> Build(int length, ByteReader& r, ARIBStringDecoder& dec);

    int group_type = 0;
    std::vector<std::unique_ptr<EventGroupDescriptorEvent>> events;
    std::vector<std::unique_ptr<EventGroupDescriptorGroup>> groups;  // group_type 4 and 5
    std::vector<uint8_t> private_data;                                // every other group_type

    void AddEvent(int service_id, int event_id);
    void AddGroup(int original_network_id, int transport_stream_id, int service_id,
                  int event_id);
};

class SIParameterDescriptorTable : public Object {
public:
    int table_id = 0;
    int table_description_length = 0;
    std::vector<uint8_t> table_description;
};

class SIParameterDescriptor : public Descriptor {
public:
    static constexpr int kTag = 0xD7;
    static std::unique_ptr<Descriptor> Build(int length, ByteReader& r, ARIBStringDecoder& dec);

    int parameter_version = 0;
    TimeValue update_time;  // stays 0 when the MJD is not a representable date
    std::vector<std::unique_ptr<SIParameterDescriptorTable>> tables;

    int AddTable(ByteReader entry);
};

class BroadcasterNameDescriptor : public Descriptor {
public:
    static constexpr int kTag = 0xD8;
    static std::unique_ptr<Descriptor> Build(int length, ByteReader& r, ARIBStringDecoder& dec);

    std::string name;
};

class ComponentGroupDescriptorGroupCAUnit : public Object {
public:
    int CA_unit_id = 0;
    int num_of_component = 0;
    std::vector<uint8_t> component_tags;
};

class ComponentGroupDescriptorGroup : public Object {
public:
    int component_group_id = 0;
    int num_of_CA_unit = 0;
    std::vector<std::unique_ptr<ComponentGroupDescriptorGroupCAUnit>> CA_units;
    int total_bit_rate = 0;  // only with the descriptor's total_bit_rate_flag set
    int text_length = 0;
    std::string text;

    int Parse(ByteReader entry, int total_bit_rate_flag);
};

class ComponentGroupDescriptor : public Descriptor {
public:
    static constexpr int kTag = 0xD9;
    static std::unique_ptr<Descriptor> Build(int length, ByteReader& r, ARIBStringDecoder& dec);

    int component_group_type = 0;
    int total_bit_rate_flag = 0;
    int num_of_group = 0;
    std::vector<std::unique_ptr<ComponentGroupDescriptorGroup>> groups;

    int AddGroup(ByteReader entry);
};

class LDTLinkageDescriptorDescription : public Object {
public:
    int description_id = 0;
    int description_type = 0;
    int user_defined = 0;
};

class LDTLinkageDescriptor : public Descriptor {
public:
    static constexpr int kTag = 0xDC;
    static std::unique_ptr<Descriptor> Build(int length, ByteReader& r, ARIBStringDecoder& dec);

    int original_service_id = 0;
    int transport_stream_id = 0;
    int original_network_id = 0;
    std::vector<std::unique_ptr<LDTLinkageDescriptorDescription>> descriptions;

    void AddDescription(int description_id, int description_type, int user_defined);
};

class ContentAvailabilityDescriptor : public Descriptor {
public:
    static constexpr int kTag = 0xDE;
    static std::unique_ptr<Descriptor> Build(int length, ByteReader& r, ARIBStringDecoder& dec);

    int copy_restriction_mode = 0;
    int image_constraint_token = 0;
    int retention_mode = 0;
    int retention_state = 0;
    int encryption_mode = 0;
};

// The descriptors of this range that CreateDescriptor() builds, each under
// its class's kTag.
inline constexpr DescriptorBuilder kAribDescriptorD0Builders[] = {
    BuilderOf<SeriesDescriptor>(),
    BuilderOf<EventGroupDescriptor>(),
    BuilderOf<SIParameterDescriptor>(),
    BuilderOf<BroadcasterNameDescriptor>(),
    BuilderOf<ComponentGroupDescriptor>(),
    BuilderOf<LDTLinkageDescriptor>(),
    BuilderOf<ContentAvailabilityDescriptor>(),
};

}  // namespace tsvigil
