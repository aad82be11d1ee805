// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstdint>
#include <cstring>

namespace tsvigil {

// The fixed header of a transport stream packet and its adaptation field
// (ISO/IEC 13818-1 2.4.3.2 to 2.4.3.5), read from the first 188 bytes of a
// packet the framer has proven: its 4 header bytes and, behind them, the
// adaptation_field_length and the flags byte are always there. These
// bytes are the one place where packet data is indexed directly; what
// lies further in is read through ByteReader. Inline, each a load and a
// mask: they run for every packet of the stream.
//
// Where a hot loop stores to memory between two of these reads, the
// compiler must load the header byte again (a store may reach any byte);
// such a loop reads what it needs into locals first.

constexpr int kPacketSize = 188;
// PIDs are 13 bits.
constexpr int kPidCount = 8192;
// The null packets' PID (stuffing), which carries no continuity_counter.
constexpr int kNullPid = 0x1FFF;
// The last PID of the range ISO/IEC 13818-1 and ARIB STD-B10 reserve for
// PSI and SI, 0x0000-0x002F.
constexpr int kLastSiPid = 0x002F;

inline bool TransportError(const uint8_t* packet) { return (packet[1] & 0x80) != 0; }
// payload_unit_start_indicator
inline bool PayloadStart(const uint8_t* packet) { return (packet[1] & 0x40) != 0; }
inline int Pid(const uint8_t* packet) { return ((packet[1] << 8) | packet[2]) & 0x1FFF; }
// transport_scrambling_control: 0 in the clear.
inline int Scrambling(const uint8_t* packet) { return packet[3] >> 6; }
inline bool Scrambled(const uint8_t* packet) { return (packet[3] & 0xC0) != 0; }
// adaptation_field_control's two bits.
inline bool HasAdaptationField(const uint8_t* packet) { return (packet[3] & 0x20) != 0; }
inline bool HasPayload(const uint8_t* packet) { return (packet[3] & 0x10) != 0; }
// continuity_counter
inline int Counter(const uint8_t* packet) { return packet[3] & 0x0F; }

// Where the payload starts: after the header, and after the adaptation
// field when adaptation_field_control announces one. The payload bit is
// not consulted, and a damaged adaptation_field_length may put the start
// at or past the end of the packet: the caller tests it.
inline int PayloadOffset(const uint8_t* packet) { return HasAdaptationField(packet) ? 5 + packet[4] : 4; }

// The adaptation_field_length, 0 without an adaptation field, and 0 when
// the length runs past the end of the packet (a damaged field says
// nothing): the flags byte and what follows it are read only below a
// length this returns.
inline int AdaptationField(const uint8_t* packet) {
    if (!HasAdaptationField(packet)) return 0;
    const int length = packet[4];
    return length <= kPacketSize - 5 ? length : 0;
}

// discontinuity_indicator
inline bool Discontinuity(const uint8_t* packet) { return AdaptationField(packet) > 0 && (packet[5] & 0x80) != 0; }

// The program_clock_reference in 27 MHz ticks (base * 300 + extension),
// when PCR_flag is set in an adaptation field long enough to hold it.
inline bool Pcr(const uint8_t* packet, int64_t& pcr) {
    if (AdaptationField(packet) < 7 || !(packet[5] & 0x10)) return false;
    const int64_t base = (int64_t(packet[6]) << 25) | (int64_t(packet[7]) << 17) | (int64_t(packet[8]) << 9) |
                         (int64_t(packet[9]) << 1) | (packet[10] >> 7);
    pcr = base * 300 + (((packet[10] & 0x01) << 8) | packet[11]);
    return true;
}

// The last 8 bytes of a 188-byte packet (of a 204-byte packet's first 188,
// not of its parity): what is kept of a packet that may be gone from the
// read buffer when a packet repeating its continuity_counter comes.
inline uint64_t PacketTail(const uint8_t* packet) {
    uint64_t tail;
    std::memcpy(&tail, packet + kPacketSize - 8, sizeof tail);
    return tail;
}

}  // namespace tsvigil
