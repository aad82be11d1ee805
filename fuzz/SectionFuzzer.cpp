// SPDX-License-Identifier: BSD-2-Clause
// The section assembler and the TOT and EIT parsers, in two passes over one
// input:
//  1. the input as 188-byte packets, sync byte set and the PID forced to
//     0x0012 or 0x0014 (by bit 2 of the input's own PID, which tells 0x0014
//     from 0x0012); pointer_field, adaptation fields, section lengths,
//     continuity counters and payload_unit_start stay as the input has them;
//  2. the input as one section whose CRC_32 is made right for the
//     section_length it states, carried to both tables in well-formed
//     packets, so that every TOT and EIT body reaches Parse().

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "si/EIT.h"
#include "si/Section.h"
#include "si/TOT.h"
#include "si/TableDispatcher.h"

namespace tsvigil {

namespace {

// Parses every section it is handed into its table, and reads the result.
template <class T>
struct Parsing : SectionHandler {
    T table;
    int OnSection(const SectionView& s) override {
        table.Parse(s.data, s.length);
        return table.descriptorErrors;
    }
};

struct Tables {
    TableDispatcher dispatcher;
    Parsing<TOT> tot;
    Parsing<EIT> eit;
    Tables() {
        dispatcher.Add(TOT::kPid, &tot);
        dispatcher.Add(EIT::kPid, &eit);
    }
};

void Dispatch(Tables& tables, std::vector<uint8_t>& p, int pid) {
    p[0] = 0x47;
    p[1] = static_cast<uint8_t>((p[1] & 0xE0) | (pid >> 8));
    p[2] = static_cast<uint8_t>(pid & 0xFF);
    tables.dispatcher.Dispatch(p.data());
    for (const auto& e : tables.eit.table.events) (void)e->GetEventName().size();
}

// Splits section over packets of pid: pointer_field 0 in the first, the
// rest of the last one stuffed, counters running on from counter.
void Carry(Tables& tables, const std::vector<uint8_t>& section, int pid, int counter) {
    size_t pos = 0;
    bool first = true;
    while (first || pos < section.size()) {
        std::vector<uint8_t> p(188, 0xFF);
        p[1] = first ? 0x40 : 0x00;
        p[3] = static_cast<uint8_t>(0x10 | (counter++ & 0x0F));
        size_t at = 4;
        if (first) p[at++] = 0x00;  // pointer_field
        const size_t n = std::min(188 - at, section.size() - pos);
        std::copy(section.begin() + static_cast<long>(pos), section.begin() + static_cast<long>(pos + n),
                  p.begin() + static_cast<long>(at));
        pos += n;
        first = false;
        Dispatch(tables, p, pid);
    }
}

}  // namespace

}  // namespace tsvigil

using namespace tsvigil;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    {
        Tables tables;
        for (size_t pos = 0; pos < size; pos += 188) {
            // Exactly one packet, the tail padded with stuffing bytes.
            std::vector<uint8_t> p(188, 0xFF);
            for (size_t i = 0; i < 188 && pos + i < size; ++i) p[i] = data[pos + i];
            Dispatch(tables, p, (p[2] & 0x04) ? TOT::kPid : EIT::kPid);
        }
    }

    if (size >= 7) {
        std::vector<uint8_t> s(data, data + std::min<size_t>(size, 3 + 4095));
        const size_t end = 3 + (((s[1] << 8) | s[2]) & 0x0FFF);
        if (end >= 7 && end <= s.size()) {
            const uint32_t crc = Crc32(s.data(), static_cast<int>(end - 4));
            for (int k = 0; k < 4; ++k) s[end - 4 + k] = static_cast<uint8_t>(crc >> (24 - 8 * k));
        }
        // Fresh assemblers, as after a lost packet on each PID.
        Tables tables;
        Carry(tables, s, TOT::kPid, 5);
        Carry(tables, s, EIT::kPid, 5);
    }
    return 0;
}
