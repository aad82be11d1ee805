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
    int64_t m_nPacketIndex = 0;

    // Feeds one 188-byte packet of this PID. Returns true when a whole
    // section now lies at the start of m_buffer; the caller calls again with
    // the same packet until it returns false, for further sections in it.
    bool Append(const uint8_t* packet);
    // True when the section in the buffer passes its check (the CRC_32).
    bool Verify() const;
    virtual bool HasCrc() const { return true; }

    // section_length of the section in the buffer.
    int SectionLength() const { return ((m_buffer[1] << 8) | m_buffer[2]) & 0x0FFF; }
    // One past the section's last byte (its CRC_32 included) in m_buffer.
    const uint8_t* SectionEnd() const { return m_buffer + SectionLength() + 3; }
};

class CTable;

// The process-wide registry of table objects that want sections. It points
// at the tables without owning them. A table may be registered from inside
// DispatchPacket(), by another table's Parse() or OnComplete(); when its PID
// is that packet's, it is given the packet too.
void RegisterTable(CTable* table);
// Empties the registry and restarts the packet count.
void ResetTables();
// Packets passed to DispatchPacket() since start or the last ResetTables().
extern int64_t g_nPacketCount;
// Which PIDs have a registered table (a table's PID is fixed before it is
// registered): most packets are for none, and pass with one lookup.
extern bool g_bPidWanted[8192];
// The tables' part of DispatchPacket(), for a packet of a wanted PID.
bool DispatchToTables(const uint8_t* packet, int pid);

// Feeds one packet to every registered table of its PID (pid, as read from
// the packet), in registration order; returns true when a section completed
// by it failed verification.
// Inline: it runs for every packet of the stream.
inline bool DispatchPacket(const uint8_t* packet, int pid) {
    ++g_nPacketCount;
    return g_bPidWanted[pid] && DispatchToTables(packet, pid);
}
// The same, for a packet whose PID the caller has not read.
inline bool DispatchPacket(const uint8_t* packet) {
    return DispatchPacket(packet, ((packet[1] << 8) | packet[2]) & 0x1FFF);
}

// CRC-32 of ISO/IEC 13818-1 Annex A (polynomial 0x04C11DB7, no reflection,
// no final XOR). Run over a whole section from 0xFFFFFFFF, CRC_32 field
// included, it ends at 0 for an intact section.
uint32_t Crc32Update(uint32_t crc, const uint8_t* data, int length);
uint32_t Crc32(const uint8_t* data, int length);
