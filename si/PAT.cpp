// SPDX-License-Identifier: BSD-2-Clause
#include "si/PAT.h"

#include <algorithm>

#include "base/ByteReader.h"

namespace tsvigil {

void PAT::ParseBody(const LongHeader& h, ByteReader& r) {
    const int section_number = h.section_number;
    PrepareSectionEntries(programs, h, version_number, transport_stream_id);
    // Four bytes per program up to the CRC_32; a partial entry is dropped.
    while (r.Remaining() >= 4 && programs.size() < static_cast<size_t>(kMaxPrograms)) {
        const int number = r.U16();
        const int pid = r.U16() & 0x1FFF;
        programs.push_back(std::make_unique<PATProgram>(number, pid, section_number));
    }
}

bool PAT::Lists(int program_number, int pid) const {
    for (const auto& p : programs) {
        if (p->program_number == program_number && p->PID == pid) return true;
    }
    return false;
}

}  // namespace tsvigil
