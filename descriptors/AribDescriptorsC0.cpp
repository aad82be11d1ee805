// SPDX-License-Identifier: BSD-2-Clause
#include "descriptors/AribDescriptorsC0.h"

#include "descriptors/DescriptorRanges.h"

namespace tsvigil {

// Every builder below reads through r, which ends with the descriptor loop: counts
// and lengths inside a descriptor are followed as they stand, but a loop
// also stops when the loop runs out, so a damaged count can neither lead
// outside the loop nor allocate entries for bytes that are not there.
// An entry cut short by the section end is kept with its missing bytes as 0.

namespace {

int Consumed(const ByteReader& r, size_t start) { return static_cast<int>(r.Pos() - start); }

}  // namespace

void DigitalCopyControlDescriptor::AddComponent(int component_tag,
                                                 int digital_recording_control_data,
                                                 int maximum_bitrate_flag, int copy_control_type,
                                                 int APS_control_data, int user_defined,
                                                 int maximum_bitrate) {
    auto c = std::make_unique<DigitalCopyControlDescriptorComponent>();
    c->component_tag = component_tag;
    c->digital_recording_control_data = digital_recording_control_data;
    c->maximum_bitrate_flag = maximum_bitrate_flag;
    c->copy_control_type = copy_control_type;
    c->APS_control_data = APS_control_data;
    c->user_defined = user_defined;
    c->maximum_bitrate = maximum_bitrate;
    components.push_back(std::move(c));
}

int CompatibilityDescriptorDescriptorSubDescriptor::Parse(ByteReader& r) {
    const size_t start = r.Pos();
    subDescriptorType = r.U8();
    subDescriptorLength = r.U8();
    additionalInformation = ToBytes(r.Bytes(subDescriptorLength));
    return Consumed(r, start);
}

int CompatibilityDescriptorDescriptor::Parse(ByteReader& r) {
    const size_t start = r.Pos();
    descriptorType = r.U8();
    descriptorLength = r.U8();
    specifierType = r.U8();
    specifierData = r.U24();
    model = r.U16();
    version = r.U16();
    subDescriptorCount = r.U8();
    for (int i = 0; i < subDescriptorCount && !r.AtEnd(); ++i) {
        auto s = std::make_unique<CompatibilityDescriptorDescriptorSubDescriptor>();
        s->Parse(r);
        subDescriptors.push_back(std::move(s));
    }
    return Consumed(r, start);
}

int CompatibilityDescriptor::Parse(ByteReader& r) {
    const size_t start = r.Pos();
    compatibilityDescriptorLength = r.U16();
    descriptorCount = r.U16();
    for (int i = 0; i < descriptorCount && !r.AtEnd(); ++i) {
        auto d = std::make_unique<CompatibilityDescriptorDescriptor>();
        d->Parse(r);
        descriptors.push_back(std::move(d));
    }
    return Consumed(r, start);
}

int DownloadContentDescriptor::AddModule(ByteReader& r) {
    const size_t start = r.Pos();
    auto m = std::make_unique<DownloadContentDescriptorModule>();
    m->module_id = r.U16();
    m->module_size = r.U32();
    m->module_info_length = r.U8();
    m->module_info = ToBytes(r.Bytes(m->module_info_length));
    modules.push_back(std::move(m));
    return Consumed(r, start);
}

int TSInformationDescriptor::AddTransmissionType(ByteReader& r) {
    const size_t start = r.Pos();
    auto t = std::make_unique<TSInformationDescriptorTransmissionType>();
    t->transmission_type_info = r.U8();
    const int num_of_service = r.U8();
    for (int i = 0; i < num_of_service && !r.AtEnd(); ++i) {
        t->service_ids.push_back(static_cast<uint32_t>(r.U16()));
    }
    transmission_types.push_back(std::move(t));
    return Consumed(r, start);
}

void ExtendedBroadcasterDescriptor::AddAffiliationId(int affiliation_id) {
    affiliation_ids.push_back(static_cast<uint8_t>(affiliation_id));
}

void ExtendedBroadcasterDescriptor::AddBroadcasterId(int original_network_id,
                                                      int broadcaster_id) {
    auto b = std::make_unique<ExtendedBroadcasterDescriptorBroadcasterID>();
    b->original_network_id = original_network_id;
    b->broadcaster_id = broadcaster_id;
    broadcaster_ids.push_back(std::move(b));
}

// hierarchical_transmission_descriptor
std::unique_ptr<Descriptor> HierarchicalTransmissionDescriptor::Build(int, ByteReader& r,
                                                                        ARIBStringDecoder&) {
    auto d = std::make_unique<HierarchicalTransmissionDescriptor>();
    d->quality_level = r.U8() & 0x01;
    d->reference_PID = r.U16() & 0x1FFF;
    return d;
}

// digital_copy_control_descriptor
std::unique_ptr<Descriptor> DigitalCopyControlDescriptor::Build(int, ByteReader& r,
                                                                  ARIBStringDecoder&) {
    auto d = std::make_unique<DigitalCopyControlDescriptor>();
    const int b = r.U8();
    d->digital_recording_control_data = b >> 6;
    d->maximum_bitrate_flag = (b >> 5) & 0x01;
    d->component_control_flag = (b >> 4) & 0x01;
    d->copy_control_type = (b >> 2) & 0x03;
    d->APS_control_data = b & 0x03;
    d->user_defined = b & 0x0F;
    if (d->maximum_bitrate_flag) d->maximum_bitrate = r.U8();
    if (d->component_control_flag) {
        // The component loop is sized by a byte budget, not a count;
        // an entry is three bytes when its own bitrate flag is set.
        d->component_control_length = r.U8();
        int remaining = d->component_control_length;
        while (remaining > 0 && !r.AtEnd()) {
            const int component_tag = r.U8();
            const int f = r.U8();
            const int bitrateFlag = (f >> 5) & 0x01;
            const int bitrate = bitrateFlag ? r.U8() : 0;
            d->AddComponent(component_tag, f >> 6, bitrateFlag, (f >> 2) & 0x03, f & 0x03,
                            f & 0x0F, bitrate);
            remaining -= bitrateFlag ? 3 : 2;
        }
    }
    return d;
}

// audio_component_descriptor
std::unique_ptr<Descriptor> AudioComponentDescriptor::Build(int length, ByteReader& r,
                                                              ARIBStringDecoder& dec) {
    auto d = std::make_unique<AudioComponentDescriptor>();
    d->stream_content = r.U8() & 0x0F;
    d->component_type = r.U8();
    d->component_tag = r.U8();
    d->stream_type = r.U8();
    d->simulcast_group_tag = r.U8();
    const int b = r.U8();
    d->ES_multi_lingual_flag = b >> 7;
    d->main_component_flag = (b >> 6) & 0x01;
    d->quality_indicator = (b >> 4) & 0x03;
    d->sampling_rate = (b >> 1) & 0x07;
    r.Copy(d->ISO_639_language_code, 3);
    if (d->ES_multi_lingual_flag) r.Copy(d->ISO_639_language_code_2, 3);
    // The text fills the rest of the descriptor; in a descriptor too
    // short for its fixed part that rest is empty, not negative.
    d->text = DecodeText(dec, r.Bytes(LeftInDescriptor(r, length)), true);
    return d;
}

// hyperlink_descriptor
std::unique_ptr<Descriptor> HyperlinkDescriptor::Build(int length, ByteReader& r,
                                                         ARIBStringDecoder&) {
    auto d = std::make_unique<HyperlinkDescriptor>();
    d->hyper_linkage_type = r.U8();
    d->link_destination_type = r.U8();
    d->selector_length = r.U8();
    d->selector_bytes = ToBytes(r.Bytes(d->selector_length));
    d->private_data = ToBytes(r.Bytes(LeftInDescriptor(r, length)));
    return d;
}

// data_content_descriptor
std::unique_ptr<Descriptor> DataContentDescriptor::Build(int, ByteReader& r,
                                                           ARIBStringDecoder& dec) {
    auto d = std::make_unique<DataContentDescriptor>();
    d->data_component_id = r.U16();
    d->entry_component = r.U8();
    d->selector_length = r.U8();
    d->selector_bytes = ToBytes(r.Bytes(d->selector_length));
    d->num_of_component_ref = r.U8();
    d->component_ref = ToBytes(r.Bytes(d->num_of_component_ref));
    r.Copy(d->ISO_639_language_code, 3);
    d->text_length = r.U8();
    d->text = DecodeText(dec, r.Bytes(d->text_length), true);
    return d;
}

// video_decode_control_descriptor
std::unique_ptr<Descriptor> VideoDecodeControlDescriptor::Build(int, ByteReader& r,
                                                                  ARIBStringDecoder&) {
    auto d = std::make_unique<VideoDecodeControlDescriptor>();
    const int b = r.U8();
    d->still_picture_flag = b >> 7;
    d->sequence_end_code_flag = (b >> 6) & 0x01;
    d->video_encode_format = (b >> 2) & 0x0F;
    return d;
}

// download_content_descriptor
std::unique_ptr<Descriptor> DownloadContentDescriptor::Build(int, ByteReader& r,
                                                               ARIBStringDecoder& dec) {
    auto d = std::make_unique<DownloadContentDescriptor>();
    const int b = r.U8();
    d->reboot = b >> 7;
    d->add_on = (b >> 6) & 0x01;
    d->compatibility_flag = (b >> 5) & 0x01;
    d->module_info_flag = (b >> 4) & 0x01;
    d->text_info_flag = (b >> 3) & 0x01;
    d->component_size = r.U32();
    d->download_id = r.U32();
    d->time_out_value_DII = r.U32();
    d->leak_rate = (r.U24() >> 2) & 0x3FFFFF;
    d->component_tag = r.U8();
    // What follows is positioned by what the nested structures
    // consumed, not by their stated lengths.
    if (d->compatibility_flag) d->compatibility.Parse(r);
    if (d->module_info_flag) {
        d->num_of_modules = r.U16();
        for (int i = 0; i < d->num_of_modules && !r.AtEnd(); ++i) d->AddModule(r);
    }
    d->private_data_length = r.U8();
    d->private_data = ToBytes(r.Bytes(d->private_data_length));
    if (d->text_info_flag) {
        r.Copy(d->ISO_639_language_code, 3);
        d->text_length = r.U8();
        d->text = DecodeText(dec, r.Bytes(d->text_length), true);
    }
    return d;
}

// CA_contract_info_descriptor
std::unique_ptr<Descriptor> CAContractInfoDescriptor::Build(int, ByteReader& r,
                                                              ARIBStringDecoder& dec) {
    auto d = std::make_unique<CAContractInfoDescriptor>();
    d->CA_system_id = r.U16();
    const int b = r.U8();
    d->CA_unit_id = b >> 4;
    d->num_of_component = b & 0x0F;
    d->component_tags = ToBytes(r.Bytes(d->num_of_component));
    d->contract_verification_info_length = r.U8();
    d->contract_verification_info =
        ToBytes(r.Bytes(d->contract_verification_info_length));
    d->fee_name_length = r.U8();
    d->fee_name = DecodeText(dec, r.Bytes(d->fee_name_length), true);
    return d;
}

// CA_service_descriptor
std::unique_ptr<Descriptor> CAServiceDescriptor::Build(int length, ByteReader& r,
                                                         ARIBStringDecoder&) {
    auto d = std::make_unique<CAServiceDescriptor>();
    d->CA_system_id = r.U16();
    d->ca_broadcaster_group_id = r.U8();
    d->message_control = r.U8();
    // A pair that starts on the descriptor's last byte still counts.
    while (LeftInDescriptor(r, length) > 0 && !r.AtEnd()) {
        d->service_ids.push_back(static_cast<uint16_t>(r.U16()));
    }
    return d;
}

// TS_information_descriptor
std::unique_ptr<Descriptor> TSInformationDescriptor::Build(int, ByteReader& r,
                                                             ARIBStringDecoder& dec) {
    auto d = std::make_unique<TSInformationDescriptor>();
    d->remote_control_key_id = r.U8();
    const int b = r.U8();
    d->length_of_ts_name = b >> 2;
    const int transmission_type_count = b & 0x03;
    d->ts_name = DecodeText(dec, r.Bytes(d->length_of_ts_name), true);
    for (int i = 0; i < transmission_type_count && !r.AtEnd(); ++i) {
        d->AddTransmissionType(r);
    }
    return d;
}

// extended_broadcaster_descriptor
std::unique_ptr<Descriptor> ExtendedBroadcasterDescriptor::Build(int length, ByteReader& r,
                                                                   ARIBStringDecoder&) {
    // Read with the terrestrial layout whatever broadcaster_type says.
    auto d = std::make_unique<ExtendedBroadcasterDescriptor>();
    d->broadcaster_type = r.U8() >> 4;
    d->terrestrial_broadcaster_id = r.U16();
    const int b = r.U8();
    const int number_of_affiliation_id_loop = b >> 4;
    const int number_of_broadcaster_id_loop = b & 0x0F;
    for (int i = 0; i < number_of_affiliation_id_loop && !r.AtEnd(); ++i) {
        d->AddAffiliationId(r.U8());
    }
    for (int i = 0; i < number_of_broadcaster_id_loop && !r.AtEnd(); ++i) {
        const int original_network_id = r.U16();
        d->AddBroadcasterId(original_network_id, r.U8());
    }
    d->private_data = ToBytes(r.Bytes(LeftInDescriptor(r, length)));
    return d;
}

// logo_transmission_descriptor
std::unique_ptr<Descriptor> LogoTransmissionDescriptor::Build(int length, ByteReader& r,
                                                                ARIBStringDecoder& dec) {
    auto d = std::make_unique<LogoTransmissionDescriptor>();
    d->logo_transmission_type = r.U8();
    switch (d->logo_transmission_type) {
        case 0x01:
            d->logo_id = r.U16() & 0x01FF;
            d->logo_version = r.U16() & 0x0FFF;
            d->download_data_id = r.U16();
            break;
        case 0x02:
            d->logo_id = r.U16() & 0x01FF;
            break;
        case 0x03:
            d->logo_char = DecodeText(dec, r.Bytes(LeftInDescriptor(r, length)), true);
            break;
        default:
            break;
    }
    return d;
}

}  // namespace tsvigil
