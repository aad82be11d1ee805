// SPDX-License-Identifier: BSD-2-Clause
#include "si/PAT.h"

#include <algorithm>

#include "base/ByteReader.h"

void CPAT::ParseBody(const CLongHeader& h, CByteReader& r) {
    const int section_number = h.section_number;
    PrepareSectionEntries(m_programs, h, version_number, transport_stream_id);
    // Four bytes per program up to the CRC_32; a partial entry is dropped.
    while (r.Remaining() >= 4 && m_programs.size() < static_cast<size_t>(kMaxPrograms)) {
        const int number = r.U16();
        const int pid = r.U16() & 0x1FFF;
        m_programs.push_back(std::make_unique<CPATProgram>(number, pid, section_number));
    }
}

bool CPAT::Lists(int program_number, int pid) const {
    for (const auto& p : m_programs) {
        if (p->program_number == program_number && p->PID == pid) return true;
    }
    return false;
}
