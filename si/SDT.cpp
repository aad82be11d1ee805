// SPDX-License-Identifier: BSD-2-Clause
#include "si/SDT.h"

#include <algorithm>

#include "descriptors/Descriptor.h"
#include "descriptors/StandardDescriptors.h"
#include "text/ARIBStringDecoder.h"

namespace tsvigil {

void SDT::ParseBody(const LongHeader& h, ByteReader& r) {
    const int section_number = h.section_number;
    original_network_id = r.U16();
    r.Skip(1);  // reserved_future_use
    PrepareSectionEntries(services, h, version_number, transport_stream_id);
    // Five fixed bytes per service; a descriptors_loop_length past the
    // CRC_32 keeps the service and ends the loop.
    while (r.Remaining() >= 5 && services.size() < static_cast<size_t>(kMaxServices)) {
        auto s = std::make_unique<SDTService>();
        s->service_id = r.U16();
        s->section_number = section_number;
        r.Skip(1);  // EIT_user_defined_flags, EIT_schedule_flag, EIT_present_following_flag
        const int loopLength = r.U16() & 0x0FFF;
        DescriptorList descriptors;
        ARIBStringDecoder dec;
        descriptorErrors += ParseDescriptorLoop(descriptors, r.Sub(loopLength), dec);
        for (const auto& d : descriptors) aribDescriptors |= d->descriptor_tag >= 0xC0;
        const int i = FindDescriptor(descriptors, 0x48, 0);
        if (i >= 0) {
            auto& d = static_cast<ServiceDescriptor&>(*descriptors[static_cast<size_t>(i)]);
            s->service_type = d.service_type;
            s->service_provider_name = std::move(d.service_provider_name);
            s->service_name = std::move(d.service_name);
            s->service_name_bytes = std::move(d.service_name_bytes);
        }
        services.push_back(std::move(s));
    }
}

}  // namespace tsvigil
