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
