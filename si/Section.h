// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstdint>
#include <vector>

#include "base/Object.h"

namespace tsvigil {

// Assembly states of a section buffer.
enum class SectionState : uint8_t {
    kWaitStart,   // no section in hand
    kCollecting,  // a section spans packets
    kComplete,    // a whole section lies at the start of the buffer
};

// Reassembles the PSI/SI sections (ISO/IEC 13818-1) carried on one PID from
// its 188-byte transport packets. The table dispatcher keeps one for each
// PID it has handlers for; nothing else touches its state.
class Section : public Object {
public:
    // The largest section (section_length 4093 plus the 3 header bytes) and
    // one whole packet payload: a payload is copied in before the remaining
    // length is compared.
    static constexpr int kBufferSize = 4280;
    static constexpr int kMaxSectionLength = 4093;

    // Feeds one 188-byte packet of this PID. Returns true when a whole
    // section now lies at Data(); the caller calls again with the same
    // packet until it returns false, for further sections in it.
    bool Append(const uint8_t* packet);
    // True when the section at Data() passes its CRC_32 check, or is of a
    // table_id that carries none (TDT, stuffing table).
    bool Verify() const { return Verify(Data(), Length()); }
    static bool Verify(const uint8_t* section, int length);

    // The section Append() completed last: Length() bytes from its table_id
    // to the end of its CRC_32.
    const uint8_t* Data() const { return m_buffer.data(); }
    int Length() const { return SectionLength() + 3; }
    // Whether a section spans packets: the next packet continues it.
    bool Collecting() const { return m_state == SectionState::kCollecting; }

private:
    bool Start(const uint8_t* packet, int payload);
    bool Continue(const uint8_t* packet, int payload);
    bool TakeRest(const uint8_t* packet, int payload);
    bool Next(const uint8_t* packet);
    // Takes the bytes from `from` to the packet's end as the start of a
    // section; true when they hold it whole.
    bool Begin(const uint8_t* packet, int from);

    // section_length of the section in the buffer.
    int SectionLength() const { return ((m_buffer[1] << 8) | m_buffer[2]) & 0x0FFF; }

    SectionState m_state = SectionState::kWaitStart;
    int m_counter = 0;
    int m_length = 0;
    int m_nextPos = 188;
    // On the heap and exactly sized, so that a write past its end is caught.
    std::vector<uint8_t> m_buffer = std::vector<uint8_t>(kBufferSize);
};

// CRC-32 of ISO/IEC 13818-1 Annex A (polynomial 0x04C11DB7, no reflection,
// no final XOR). Run over a whole section from 0xFFFFFFFF, CRC_32 field
// included, it ends at 0 for an intact section.
uint32_t Crc32(const uint8_t* data, int length);

}  // namespace tsvigil
