// SPDX-License-Identifier: BSD-2-Clause
#pragma once

// ARIB STD-B10 descriptors of the tag range 0xE0 to 0xFF: terrestrial
// delivery system, partial reception, emergency information, data component
// and system management. Built by CreateDescriptor().

#include <cstdint>
#include <memory>
#include <vector>

#include "descriptors/Descriptor.h"

namespace tsvigil {

class TerrestrialDeliverySystemDescriptor : public Descriptor {
public:
    static constexpr int kTag = 0xFA;
    static std::unique_ptr<Descriptor> Build(int length, ByteReader& r, ARIBStringDecoder& dec);

    int area_code = 0;
    int guard_interval = 0;
    int transmission_mode = 0;
    std::vector<uint32_t> frequencies;  // raw 16-bit fields, in units of 1/7 MHz
};

class PartialReceptionDescriptor : public Descriptor {
public:
    static constexpr int kTag = 0xFB;
    static std::unique_ptr<Descriptor> Build(int length, ByteReader& r, ARIBStringDecoder& dec);

    std::vector<uint16_t> service_ids;
};

class EmergencyInformationDescriptorEmergency : public Object {
public:
    int service_id = 0;
    int start_end_flag = 0;
    int signal_level = 0;
    int area_code_length = 0;
    std::vector<uint16_t> area_codes;

    // entry: a reader whose first byte is the entry's first byte and which
    // ends with the descriptor loop. Returns the bytes the entry claims,
    // area_code_length + 4.
    int Parse(ByteReader entry);
};

class EmergencyInformationDescriptor : public Descriptor {
public:
    static constexpr int kTag = 0xFC;
    static std::unique_ptr<Descriptor> Build(int length, ByteReader& r, ARIBStringDecoder& dec);

    std::vector<std::unique_ptr<EmergencyInformationDescriptorEmergency>> emergencies;

    // Parses the entry at the start of entry (see Parse) and appends it.
    int AddEmergency(ByteReader entry);
};

class DataComponentDescriptor : public Descriptor {
public:
    static constexpr int kTag = 0xFD;
    static std::unique_ptr<Descriptor> Build(int length, ByteReader& r, ARIBStringDecoder& dec);

    int data_component_id = 0;
    std::vector<uint8_t> additional_data_component_info;
};

class SystemManagementDescriptor : public Descriptor {
public:
    static constexpr int kTag = 0xFE;
    static std::unique_ptr<Descriptor> Build(int length, ByteReader& r, ARIBStringDecoder& dec);

    int system_management_id = 0;
    std::vector<uint8_t> additional_identification_info;
};

// The descriptors of this range that CreateDescriptor() builds, each under
// its class's kTag.
inline constexpr DescriptorBuilder kAribDescriptorE0Builders[] = {
    BuilderOf<TerrestrialDeliverySystemDescriptor>(),
    BuilderOf<PartialReceptionDescriptor>(),
    BuilderOf<EmergencyInformationDescriptor>(),
    BuilderOf<DataComponentDescriptor>(),
    BuilderOf<SystemManagementDescriptor>(),
};

}  // namespace tsvigil
