// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstdint>

#include "base/Object.h"

// Assembly states of a section buffer.
enum {
    SEC_WAIT_START = 0,  // no section in hand
    SEC_COLLECTING = 1,  // a section spans packets
    SEC_COMPLETE = 2,    // a whole section lies at the start of the buffer
};

// Reassembles the PSI/SI sections (ISO/IEC 13818-1) carried on one PID from
// its 188-byte transport packets. Every table object is a CSection, so each
// carries its own assembly state and buffer.
class CSection : public CObject {
public:
    // The largest section (section_length 4093 plus the 3 header bytes) and
    // one whole packet payload: a payload is copied in before the remaining
    // length is compared.
    static constexpr int kBufferSize = 4280;
    static constexpr int kMaxSectionLength = 4093;

    int m_nState = SEC_WAIT_START;
    int m_nCounter = 0;
    int m_nLength = 0;
    int m_nNextPos = 188;
    uint8_t m_buffer[kBufferSize] = {};
    int m_nPid = 0;

    // Feeds one 188-byte packet of this PID. Returns true when a whole
    // section now lies at the start of m_buffer; the caller calls again with
    // the same packet until it returns false, for further sections in it.
    bool Append(const uint8_t* packet);
    // True when the section in the buffer passes its CRC_32 check, or is
    // of a table_id that carries none (TDT, stuffing table).
    bool Verify() const;

    // section_length of the section in the buffer.
    int SectionLength() const { return ((m_buffer[1] << 8) | m_buffer[2]) & 0x0FFF; }
    // One past the section's last byte (its CRC_32 included) in m_buffer.
    const uint8_t* SectionEnd() const { return m_buffer + SectionLength() + 3; }
};

// CRC-32 of ISO/IEC 13818-1 Annex A (polynomial 0x04C11DB7, no reflection,
// no final XOR). Run over a whole section from 0xFFFFFFFF, CRC_32 field
// included, it ends at 0 for an intact section.
uint32_t Crc32(const uint8_t* data, int length);
