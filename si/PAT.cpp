#include "si/PAT.h"

#include <algorithm>

#include "base/ByteReader.h"

void CPAT::Parse() {
    m_bAccepted = false;
    // The bytes before the CRC_32; the 8-byte header must fit in them.
    const int size = SectionLength() + 3 - 4;
    if (size < 8) return;
    CByteReader r(m_buffer, static_cast<size_t>(size));
    const int table_id = r.U8();
    r.Skip(2);
    const int tsid = r.U16();
    const int flags = r.U8();
    const int section_number = r.U8();
    const int last_section_number = r.U8();
    // A section with current_next_indicator 0 describes a PAT not yet valid.
    if (table_id != kTableId || (flags & 0x01) == 0) return;

    const int version = (flags >> 1) & 0x1F;
    if (version != version_number || tsid != transport_stream_id) m_programs.clear();
    version_number = version;
    transport_stream_id = tsid;
    m_programs.erase(std::remove_if(m_programs.begin(), m_programs.end(),
                                    [&](const std::unique_ptr<CPATProgram>& p) {
                                        return p->section_number == section_number ||
                                               p->section_number > last_section_number;
                                    }),
                     m_programs.end());
    // Four bytes per program up to the CRC_32; a partial entry is dropped.
    while (r.Remaining() >= 4 && m_programs.size() < static_cast<size_t>(kMaxPrograms)) {
        const int number = r.U16();
        const int pid = r.U16() & 0x1FFF;
        m_programs.push_back(std::make_unique<CPATProgram>(number, pid, section_number));
    }
    m_bAccepted = true;
}

bool CPAT::Lists(int program_number, int pid) const {
    for (const auto& p : m_programs) {
        if (p->program_number == program_number && p->PID == pid) return true;
    }
    return false;
}
