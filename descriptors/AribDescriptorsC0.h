// SPDX-License-Identifier: BSD-2-Clause
#pragma once

// ARIB STD-B10 descriptors with tags 0xC0 to 0xCF, as built by
// CreateDescriptor(). Members keep the standard's field names and
// hold each field zero-extended; a member that is set only under a
// condition stays 0 when the condition is false.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "descriptors/Descriptor.h"

namespace tsvigil {

class HierarchicalTransmissionDescriptor : public Descriptor {
public:
    static constexpr int kTag = 0xC0;
    static std::unique_ptr<Descriptor> Build(int length, ByteReader& r, ARIBStringDecoder& dec);

    int quality_level = 0;
    int reference_PID = 0;
};

class DigitalCopyControlDescriptorComponent : public Object {
public:
    int component_tag = 0;
    int digital_recording_control_data = 0;
    int maximum_bitrate_flag = 0;
    int copy_control_type = 0;
    int APS_control_data = 0;
    int user_defined = 0;
    int maximum_bitrate = 0;
};

class DigitalCopyControlDescriptor : public Descriptor {
public:
    static constexpr int kTag = 0xC1;
    static std::unique_ptr<Descriptor> Build(int length, ByteReader& r, ARIBStringDecoder& dec);

    int digital_recording_control_data = 0;
    int maximum_bitrate_flag = 0;
    int component_control_flag = 0;
    int copy_control_type = 0;
    int APS_control_data = 0;
    int user_defined = 0;
    int maximum_bitrate = 0;
    int component_control_length = 0;
    std::vector<std::unique_ptr<DigitalCopyControlDescriptorComponent>> components;

    void AddComponent(int component_tag, int digital_recording_control_data,
                      int maximum_bitrate_flag, int copy_control_type, int APS_control_data,
                      int user_defined, int maximum_bitrate);
};

class AudioComponentDescriptor : public Descriptor {
public:
    static constexpr int kTag = 0xC4;
    static std::unique_ptr<Descriptor> Build(int length, ByteReader& r, ARIBStringDecoder& dec);

    int stream_content = 0;
    int component_type = 0;
    int component_tag = 0;
    int stream_type = 0;
    int simulcast_group_tag = 0;
    int ES_multi_lingual_flag = 0;
    int main_component_flag = 0;
    int quality_indicator = 0;
    int sampling_rate = 0;
    char ISO_639_language_code[4] = {};
    char ISO_639_language_code_2[4] = {};
    std::string text;
};

class HyperlinkDescriptor : public Descriptor {
public:
    static constexpr int kTag = 0xC5;
    static std::unique_ptr<Descriptor> Build(int length, ByteReader& r, ARIBStringDecoder& dec);

    int hyper_linkage_type = 0;
    int link_destination_type = 0;
    int selector_length = 0;
    std::vector<uint8_t> selector_bytes;
    std::vector<uint8_t> private_data;
};

class DataContentDescriptor : public Descriptor {
public:
    static constexpr int kTag = 0xC7;
    static std::unique_ptr<Descriptor> Build(int length, ByteReader& r, ARIBStringDecoder& dec);

    int data_component_id = 0;
    int entry_component = 0;
    int selector_length = 0;
    std::vector<uint8_t> selector_bytes;
    int num_of_component_ref = 0;
    std::vector<uint8_t> component_ref;
    char ISO_639_language_code[4] = {};
    int text_length = 0;
    std::string text;
};

class VideoDecodeControlDescriptor : public Descriptor {
public:
    static constexpr int kTag = 0xC8;
    static std::unique_ptr<Descriptor> Build(int length, ByteReader& r, ARIBStringDecoder& dec);

    int still_picture_flag = 0;
    int sequence_end_code_flag = 0;
    int video_encode_format = 0;
};

// The compatibilityDescriptor() of ISO/IEC 13818-6 (DSM-CC) as carried in
// the download content descriptor. Each Parse reads from r and returns the
// bytes it consumed; the stored length fields are not used to find the end
// of a structure, its entries are.
class CompatibilityDescriptorDescriptorSubDescriptor : public Object {
public:
    int subDescriptorType = 0;
    int subDescriptorLength = 0;
    std::vector<uint8_t> additionalInformation;

    int Parse(ByteReader& r);
};

class CompatibilityDescriptorDescriptor : public Object {
public:
    int descriptorType = 0;
    int descriptorLength = 0;
    int specifierType = 0;
    int specifierData = 0;
    int model = 0;
    int version = 0;
    int subDescriptorCount = 0;
    std::vector<std::unique_ptr<CompatibilityDescriptorDescriptorSubDescriptor>> subDescriptors;

    int Parse(ByteReader& r);
};

class CompatibilityDescriptor : public Object {
public:
    int compatibilityDescriptorLength = 0;
    int descriptorCount = 0;
    std::vector<std::unique_ptr<CompatibilityDescriptorDescriptor>> descriptors;

    int Parse(ByteReader& r);
};

class DownloadContentDescriptorModule : public Object {
public:
    int module_id = 0;
    uint32_t module_size = 0;
    int module_info_length = 0;
    std::vector<uint8_t> module_info;
};

class DownloadContentDescriptor : public Descriptor {
public:
    static constexpr int kTag = 0xC9;
    static std::unique_ptr<Descriptor> Build(int length, ByteReader& r, ARIBStringDecoder& dec);

    int reboot = 0;
    int add_on = 0;
    int compatibility_flag = 0;
    int module_info_flag = 0;
    int text_info_flag = 0;
    uint32_t component_size = 0;
    uint32_t download_id = 0;
    uint32_t time_out_value_DII = 0;
    int leak_rate = 0;
    int component_tag = 0;
    int num_of_modules = 0;
    CompatibilityDescriptor compatibility;
    std::vector<std::unique_ptr<DownloadContentDescriptorModule>> modules;
    int private_data_length = 0;
    std::vector<uint8_t> private_data;
    char ISO_639_language_code[4] = {};
    int text_length = 0;
    std::string text;

    // Parses one module entry from r into a new element of modules and
    // returns the bytes consumed.
    int AddModule(ByteReader& r);
};

class CAContractInfoDescriptor : public Descriptor {
public:
    static constexpr int kTag = 0xCB;
    static std::unique_ptr<Descriptor> Build(int length, ByteReader& r, ARIBStringDecoder& dec);

    int CA_system_id = 0;
    int CA_unit_id = 0;
    int num_of_component = 0;
    std::vector<uint8_t> component_tags;
    int contract_verification_info_length = 0;
    std::vector<uint8_t> contract_verification_info;
    int fee_name_length = 0;
    std::string fee_name;
};

class CAServiceDescriptor : public Descriptor {
public:
    static constexpr int kTag = 0xCC;
    static std::unique_ptr<Descriptor> Build(int length, ByteReader& r, ARIBStringDecoder& dec);

    int CA_system_id = 0;
    int ca_broadcaster_group_id = 0;
    int message_control = 0;
    std::vector<uint16_t> service_ids;
};

class TSInformationDescriptorTransmissionType : public Object {
public:
    int transmission_type_info = 0;
    std::vector<uint32_t> service_ids;
};

class TSInformationDescriptor : public Descriptor {
public:
    static constexpr int kTag = 0xCD;
    static std::unique_ptr<Descriptor> Build(int length, ByteReader& r, ARIBStringDecoder& dec);

    int remote_control_key_id = 0;
    int length_of_ts_name = 0;
    std::string ts_name;
    std::vector<std::unique_ptr<TSInformationDescriptorTransmissionType>> transmission_types;

    // Parses one transmission type entry from r into a new element of
    // transmission_types and returns the bytes consumed.
    int AddTransmissionType(ByteReader& r);
};

class ExtendedBroadcasterDescriptorBroadcasterID : public Object {
public:
    int original_network_id = 0;
    int broadcaster_id = 0;
};

class ExtendedBroadcasterDescriptor : public Descriptor {
public:
    static constexpr int kTag = 0xCE;
    static std::unique_ptr<Descriptor> Build(int length, ByteReader& r, ARIBStringDecoder& dec);

    int broadcaster_type = 0;
    int terrestrial_broadcaster_id = 0;
    std::vector<uint8_t> affiliation_ids;
    std::vector<std::unique_ptr<ExtendedBroadcasterDescriptorBroadcasterID>> broadcaster_ids;
    std::vector<uint8_t> private_data;

    void AddAffiliationId(int affiliation_id);
    void AddBroadcasterId(int original_network_id, int broadcaster_id);
};

class LogoTransmissionDescriptor : public Descriptor {
public:
    static constexpr int kTag = 0xCF;
    static std::unique_ptr<Descriptor> Build(int length, ByteReader& r, ARIBStringDecoder& dec);

    int logo_transmission_type = 0;
    int logo_id = 0;
    int logo_version = 0;
    int download_data_id = 0;
    std::string logo_char;
};

// The descriptors of this range that CreateDescriptor() builds, each under
// its class's kTag.
inline constexpr DescriptorBuilder kAribDescriptorC0Builders[] = {
    BuilderOf<HierarchicalTransmissionDescriptor>(),
    BuilderOf<DigitalCopyControlDescriptor>(),
    BuilderOf<AudioComponentDescriptor>(),
    BuilderOf<HyperlinkDescriptor>(),
    BuilderOf<DataContentDescriptor>(),
    BuilderOf<VideoDecodeControlDescriptor>(),
    BuilderOf<DownloadContentDescriptor>(),
    BuilderOf<CAContractInfoDescriptor>(),
    BuilderOf<CAServiceDescriptor>(),
    BuilderOf<TSInformationDescriptor>(),
    BuilderOf<ExtendedBroadcasterDescriptor>(),
    BuilderOf<LogoTransmissionDescriptor>(),
};

}  // namespace tsvigil
