// The section assembler and the TOT and EIT parsers: arbitrary 188-byte
// packets with the sync byte set and the PID forced to 0x0012 or 0x0014
// (by bit 2 of the input's own PID, which tells 0x0014 from 0x0012), dispatched to a registered CTOT and
// CEIT. Pointer fields, adaptation fields, section lengths, continuity
// counters and payload_unit_start are all left as the input has them.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "si/EIT.h"
#include "si/Section.h"
#include "si/TOT.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CTOT tot;
    CEIT eit;
    ResetTables();
    RegisterTable(&tot);
    RegisterTable(&eit);
    for (size_t pos = 0; pos < size; pos += 188) {
        // Exactly one packet, the tail padded with stuffing bytes.
        std::vector<uint8_t> p(188, 0xFF);
        for (size_t i = 0; i < 188 && pos + i < size; ++i) p[i] = data[pos + i];
        p[0] = 0x47;
        const int pid = (p[2] & 0x04) ? CTOT::kPid : CEIT::kPid;
        p[1] = static_cast<uint8_t>((p[1] & 0xE0) | (pid >> 8));
        p[2] = static_cast<uint8_t>(pid & 0xFF);
        DispatchPacket(p.data());
        CTimeValue t;
        tot.GetTime(t);
        for (const auto& e : eit.m_events) (void)e->GetEventName().size();
    }
    ResetTables();
    return 0;
}
