#include "si/PMT.h"

#include "text/ARIBStringDecoder.h"

void CPMT::Parse() {
    m_bAccepted = false;
    // The bytes before the CRC_32; the 12-byte fixed part must fit in them.
    const int size = SectionLength() + 3 - 4;
    if (size < 12) return;
    CByteReader r(m_buffer, static_cast<size_t>(size));
    const int table_id = r.U8();
    r.Skip(2);
    const int number = r.U16();
    const int flags = r.U8();
    r.Skip(2);  // section_number and last_section_number, both 0 for a PMT
    if (table_id != kTableId || (flags & 0x01) == 0) return;

    program_number = number;
    version_number = (flags >> 1) & 0x1F;
    PCR_PID = r.U16() & 0x1FFF;
    program_info_length = r.U16() & 0x0FFF;
    m_descriptors.clear();
    m_streams.clear();
    CARIBStringDecoder dec;
    // A program_info_length past the CRC_32 takes the rest of the section and
    // leaves no room for streams.
    ParseWholeDescriptors(m_descriptors, r.Sub(program_info_length), dec);
    // Five fixed bytes per stream; an ES_info_length past the CRC_32 keeps the
    // stream and ends the loop.
    while (r.Remaining() >= 5) {
        auto s = std::make_unique<CPMTStream>();
        s->stream_type = r.U8();
        s->elementary_PID = r.U16() & 0x1FFF;
        s->ES_info_length = r.U16() & 0x0FFF;
        ParseWholeDescriptors(s->descriptors, r.Sub(s->ES_info_length), dec);
        m_streams.push_back(std::move(s));
    }
    m_bAccepted = true;
}
