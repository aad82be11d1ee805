// SPDX-License-Identifier: BSD-2-Clause
#include "descriptors/AribDescriptorsE0.h"

#include "descriptors/DescriptorRanges.h"

namespace tsvigil {

int EmergencyInformationDescriptorEmergency::Parse(ByteReader entry) {
    service_id = entry.U16();
    const int b2 = entry.U8();
    start_end_flag = b2 >> 7;
    signal_level = (b2 >> 6) & 0x01;
    area_code_length = entry.U8();
    // Each area_code is 12 bits followed by 4 reserved bits. An odd
    // area_code_length leaves a half pair at the end, completed by the byte
    // after the entry; the next entry still starts area_code_length + 4
    // bytes in.
    for (int q = 0; q < area_code_length && !entry.AtEnd(); q += 2) {
        area_codes.push_back(static_cast<uint16_t>((entry.U16() >> 4) & 0x0FFF));
    }
    return area_code_length + 4;
}

int EmergencyInformationDescriptor::AddEmergency(ByteReader entry) {
    auto e = std::make_unique<EmergencyInformationDescriptorEmergency>();
    const int used = e->Parse(entry);
    emergencies.push_back(std::move(e));
    return used;
}

// r is positioned at byte 2 and ends with the descriptor loop: fixed fields of a
// descriptor shorter than its fixed part are read from what follows it in
// the loop (0 past the loop's end), and lengths are trusted as far as
// the loop's end and no further.

// terrestrial_delivery_system_descriptor
std::unique_ptr<Descriptor> TerrestrialDeliverySystemDescriptor::Build(int length, ByteReader& r,
                                                                         ARIBStringDecoder&) {
    auto d = std::make_unique<TerrestrialDeliverySystemDescriptor>();
    const int b23 = r.U16();
    d->area_code = b23 >> 4;
    d->guard_interval = (b23 >> 2) & 0x03;
    d->transmission_mode = b23 & 0x03;
    while (InDescriptor(r, length)) d->frequencies.push_back(static_cast<uint32_t>(r.U16()));
    return d;
}

// partial_reception_descriptor
std::unique_ptr<Descriptor> PartialReceptionDescriptor::Build(int length, ByteReader& r,
                                                                ARIBStringDecoder&) {
    auto d = std::make_unique<PartialReceptionDescriptor>();
    while (InDescriptor(r, length)) d->service_ids.push_back(static_cast<uint16_t>(r.U16()));
    return d;
}

// emergency_information_descriptor
std::unique_ptr<Descriptor> EmergencyInformationDescriptor::Build(int length, ByteReader& r,
                                                                    ARIBStringDecoder&) {
    auto d = std::make_unique<EmergencyInformationDescriptor>();
    while (InDescriptor(r, length)) r.Skip(d->AddEmergency(r));
    return d;
}

// data_component_descriptor
std::unique_ptr<Descriptor> DataComponentDescriptor::Build(int length, ByteReader& r,
                                                             ARIBStringDecoder&) {
    auto d = std::make_unique<DataComponentDescriptor>();
    d->data_component_id = r.U16();
    d->additional_data_component_info = RestOfDescriptor(r, length);
    return d;
}

// system_management_descriptor
std::unique_ptr<Descriptor> SystemManagementDescriptor::Build(int length, ByteReader& r,
                                                                ARIBStringDecoder&) {
    auto d = std::make_unique<SystemManagementDescriptor>();
    // Broadcasting flag, broadcasting identifier and additional
    // identification are kept together as the one 16-bit id.
    d->system_management_id = r.U16();
    d->additional_identification_info = RestOfDescriptor(r, length);
    return d;
}

}  // namespace tsvigil
