// SPDX-License-Identifier: BSD-2-Clause
#include "si/PMT.h"

#include "text/ARIBStringDecoder.h"

namespace tsvigil {

void PMT::ParseBody(const LongHeader& h, ByteReader& r) {
    program_number = h.table_id_extension;
    version_number = h.version_number;
    PCR_PID = r.U16() & 0x1FFF;
    program_info_length = r.U16() & 0x0FFF;
    descriptors.clear();
    streams.clear();
    ARIBStringDecoder dec;
    // A program_info_length past the CRC_32 takes the rest of the section and
    // leaves no room for streams.
    descriptorErrors += ParseDescriptorLoop(descriptors, r.Sub(program_info_length), dec);
    // Five fixed bytes per stream; an ES_info_length past the CRC_32 keeps the
    // stream and ends the loop.
    while (r.Remaining() >= 5) {
        auto s = std::make_unique<PMTStream>();
        s->stream_type = r.U8();
        s->elementary_PID = r.U16() & 0x1FFF;
        s->ES_info_length = r.U16() & 0x0FFF;
        descriptorErrors += ParseDescriptorLoop(s->descriptors, r.Sub(s->ES_info_length), dec);
        streams.push_back(std::move(s));
    }
}

}  // namespace tsvigil
