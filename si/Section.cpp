// SPDX-License-Identifier: BSD-2-Clause
#include "si/Section.h"

#include <array>
#include <cstring>

#include "base/TSPacket.h"

namespace tsvigil {

namespace {

constexpr int kPacket = kPacketSize;

// The CRC table of the polynomial 0x04C11DB7, one entry per value of the
// byte entering the register's top.
constexpr std::array<uint32_t, 256> MakeCrcTable() {
    std::array<uint32_t, 256> table{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = i << 24;
        for (int k = 0; k < 8; ++k) c = (c & 0x80000000u) ? (c << 1) ^ 0x04C11DB7u : c << 1;
        table[i] = c;
    }
    return table;
}
constexpr std::array<uint32_t, 256> kCrcTable = MakeCrcTable();

}  // namespace

bool Section::Append(const uint8_t* packet) {
    const int payload = PayloadOffset(packet);
    switch (m_state) {
        case SectionState::kWaitStart: return Start(packet, payload);
        case SectionState::kCollecting: return Continue(packet, payload);
        case SectionState::kComplete: return Next(packet);
    }
    return false;
}

bool Section::Begin(const uint8_t* packet, int from) {
    const int n = kPacket - from;
    if (n <= 0) {
        m_state = SectionState::kWaitStart;
        return false;
    }
    std::memcpy(m_buffer.data(), packet + from, static_cast<size_t>(n));
    m_length = n;
    m_counter = Counter(packet);
    // The header may be split over two packets: section_length is read
    // once the bytes are in.
    if (n < 3) {
        m_nextPos = kPacket;
        m_state = SectionState::kCollecting;
        return false;
    }
    const int L = SectionLength();
    if (L > kMaxSectionLength) {
        m_state = SectionState::kWaitStart;
        return false;
    }
    if (n - 3 < L) {
        m_nextPos = kPacket;
        m_state = SectionState::kCollecting;
        return false;
    }
    m_nextPos = from + 3 + L;
    m_state = SectionState::kComplete;
    return true;
}

bool Section::Start(const uint8_t* packet, int payload) {
    if (!PayloadStart(packet) || payload >= kPacket) return false;
    // The pointer_field skips the tail of a section we are not collecting.
    return Begin(packet, payload + 1 + packet[payload]);
}

bool Section::Next(const uint8_t* packet) {
    // Another section may follow in the same packet, unless stuffing
    // (0xFF) fills the rest.
    if (m_nextPos >= kPacket || packet[m_nextPos] == 0xFF) {
        m_state = SectionState::kWaitStart;
        return false;
    }
    return Begin(packet, m_nextPos);
}

bool Section::Continue(const uint8_t* packet, int payload) {
    if (Counter(packet) != ((m_counter + 1) & 0x0F)) {
        // A lost packet: the section in hand is incomplete. A section that
        // starts in this packet is whole, and is taken.
        m_state = SectionState::kWaitStart;
        return Start(packet, payload);
    }
    m_counter = Counter(packet);
    if (PayloadStart(packet)) return TakeRest(packet, payload);
    const int n = kPacket - payload;
    if (n <= 0) {
        m_state = SectionState::kWaitStart;
        return false;
    }
    std::memcpy(m_buffer.data() + m_length, packet + payload, static_cast<size_t>(n));
    const int L = SectionLength();
    const int need = L + 3 - m_length;
    if (need <= n) {
        m_nextPos = payload + need;
        m_length = L + 3;
        m_state = SectionState::kComplete;
        return true;
    }
    m_length += n;
    m_nextPos = kPacket;
    if (m_length >= 3 && L > kMaxSectionLength) m_state = SectionState::kWaitStart;
    return false;
}

bool Section::TakeRest(const uint8_t* packet, int payload) {
    // A new section starts in this packet where its pointer_field says
    // (ISO/IEC 13818-1 2.4.4.2); the bytes before it are the rest of the
    // section in hand. The pointer_field, not the section_length of the
    // section in hand (which may be damaged), says where the next section
    // starts.
    if (payload >= kPacket) {
        m_state = SectionState::kWaitStart;
        return false;
    }
    const int rest = packet[payload];
    if (payload + 1 + rest <= kPacket) {
        std::memcpy(m_buffer.data() + m_length, packet + payload + 1, static_cast<size_t>(rest));
        m_length += rest;
        const int whole = SectionLength() + 3;
        if (m_length >= 3 && whole <= m_length) {
            // The CRC_32 decides; the next section is looked for at the
            // pointer.
            m_length = whole;
            m_nextPos = payload + 1 + rest;
            m_state = SectionState::kComplete;
            return true;
        }
    }
    // The section in hand ends short of its length (or the pointer leads
    // out of the packet): it is dropped, and the section that starts here
    // is taken.
    m_state = SectionState::kWaitStart;
    return Start(packet, payload);
}

bool Section::Verify(const uint8_t* section, int length) {
    // The TDT (table_id 0x70) and the stuffing table (0x72) are short
    // sections without a CRC_32 (ARIB STD-B10); the TOT (0x73), short as
    // well, has one.
    if (section[0] == 0x70 || section[0] == 0x72) return true;
    return Crc32(section, length) == 0;
}

uint32_t Crc32(const uint8_t* data, int length) {
    uint32_t crc = 0xFFFFFFFFu;
    for (int i = 0; i < length; ++i) crc = (crc << 8) ^ kCrcTable[((crc >> 24) ^ data[i]) & 0xFF];
    return crc;
}

}  // namespace tsvigil
