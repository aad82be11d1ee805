#include "si/Table.h"

namespace {

bool WriteU32(std::FILE* fp, uint32_t v) {
    const uint8_t b[4] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
    return std::fwrite(b, 1, 4, fp) == 4;
}

bool ReadU32(std::FILE* fp, uint32_t& v) {
    uint8_t b[4];
    if (std::fread(b, 1, 4, fp) != 4) return false;
    v = uint32_t(b[0]) | (uint32_t(b[1]) << 8) | (uint32_t(b[2]) << 16) | (uint32_t(b[3]) << 24);
    return true;
}

}  // namespace

bool CTable::Save(std::FILE* fp) {
    const int n = SectionLength() + 3;
    return WriteU32(fp, 0) && WriteU32(fp, static_cast<uint32_t>(m_nPid)) &&
           WriteU32(fp, static_cast<uint32_t>(n)) &&
           std::fwrite(m_buffer, 1, static_cast<size_t>(n), fp) == static_cast<size_t>(n);
}

bool CTable::Load(std::FILE* fp) {
    uint32_t marker = 0, pid = 0, size = 0;
    if (!ReadU32(fp, marker)) return false;
    if (marker != 0) return true;
    if (!ReadU32(fp, pid)) return false;
    m_nPid = static_cast<int>(pid & 0x1FFF);
    m_nPacketIndex = 0;
    if (!ReadU32(fp, size)) return false;
    // A section can be no larger than the buffer that holds it.
    if (size > static_cast<uint32_t>(kBufferSize)) return false;
    if (std::fread(m_buffer, 1, size, fp) != size) return false;
    Parse();
    return true;
}

bool CTable::ReadLongHeader(CLongHeader& h, CByteReader& body, int minBody) const {
    // The bytes before the CRC_32.
    const int size = SectionLength() + 3 - 4;
    if (size < 8 + minBody) return false;
    CByteReader r(m_buffer, static_cast<size_t>(size));
    h.table_id = r.U8();
    r.Skip(2);  // section_syntax_indicator and section_length
    h.table_id_extension = r.U16();
    const int flags = r.U8();
    h.version_number = (flags >> 1) & 0x1F;
    h.current_next_indicator = flags & 0x01;
    h.section_number = r.U8();
    h.last_section_number = r.U8();
    body = r.Sub(static_cast<int>(r.Remaining()));
    return true;
}
