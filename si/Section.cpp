// SPDX-License-Identifier: BSD-2-Clause
#include "si/Section.h"

#include <array>
#include <cstring>

#include "base/TSPacket.h"

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

bool CSection::Append(const uint8_t* packet) {
    const int payload = PayloadOffset(packet);
    switch (m_nState) {
        case SEC_WAIT_START: return Start(packet, payload);
        case SEC_COLLECTING: return Continue(packet, payload);
        case SEC_COMPLETE: return Next(packet);
        default:
            m_nState = SEC_WAIT_START;
            return false;
    }
}

bool CSection::Begin(const uint8_t* packet, int from) {
    const int n = kPacket - from;
    if (n <= 0) {
        m_nState = SEC_WAIT_START;
        return false;
    }
    std::memcpy(m_buffer.data(), packet + from, static_cast<size_t>(n));
    m_nLength = n;
    m_nCounter = Counter(packet);
    // The header may be split over two packets: section_length is read
    // once the bytes are in.
    if (n < 3) {
        m_nNextPos = kPacket;
        m_nState = SEC_COLLECTING;
        return false;
    }
    const int L = SectionLength();
    if (L > kMaxSectionLength) {
        m_nState = SEC_WAIT_START;
        return false;
    }
    if (n - 3 < L) {
        m_nNextPos = kPacket;
        m_nState = SEC_COLLECTING;
        return false;
    }
    m_nNextPos = from + 3 + L;
    m_nState = SEC_COMPLETE;
    return true;
}

bool CSection::Start(const uint8_t* packet, int payload) {
    if (!PayloadStart(packet) || payload >= kPacket) return false;
    // The pointer_field skips the tail of a section we are not collecting.
    return Begin(packet, payload + 1 + packet[payload]);
}

bool CSection::Next(const uint8_t* packet) {
    // Another section may follow in the same packet, unless stuffing
    // (0xFF) fills the rest.
    if (m_nNextPos >= kPacket || packet[m_nNextPos] == 0xFF) {
        m_nState = SEC_WAIT_START;
        return false;
    }
    return Begin(packet, m_nNextPos);
}

bool CSection::Continue(const uint8_t* packet, int payload) {
    if (Counter(packet) != ((m_nCounter + 1) & 0x0F)) {
        // A lost packet: the section in hand is incomplete. A section that
        // starts in this packet is whole, and is taken.
        m_nState = SEC_WAIT_START;
        return Start(packet, payload);
    }
    m_nCounter = Counter(packet);
    if (PayloadStart(packet)) return TakeRest(packet, payload);
    const int n = kPacket - payload;
    if (n <= 0) {
        m_nState = SEC_WAIT_START;
        return false;
    }
    std::memcpy(m_buffer.data() + m_nLength, packet + payload, static_cast<size_t>(n));
    const int L = SectionLength();
    const int need = L + 3 - m_nLength;
    if (need <= n) {
        m_nNextPos = payload + need;
        m_nLength = L + 3;
        m_nState = SEC_COMPLETE;
        return true;
    }
    m_nLength += n;
    m_nNextPos = kPacket;
    if (m_nLength >= 3 && L > kMaxSectionLength) m_nState = SEC_WAIT_START;
    return false;
}

bool CSection::TakeRest(const uint8_t* packet, int payload) {
    // A new section starts in this packet where its pointer_field says
    // (ISO/IEC 13818-1 2.4.4.2); the bytes before it are the rest of the
    // section in hand. The pointer_field, not the section_length of the
    // section in hand (which may be damaged), says where the next section
    // starts.
    if (payload >= kPacket) {
        m_nState = SEC_WAIT_START;
        return false;
    }
    const int rest = packet[payload];
    if (payload + 1 + rest <= kPacket) {
        std::memcpy(m_buffer.data() + m_nLength, packet + payload + 1, static_cast<size_t>(rest));
        m_nLength += rest;
        const int whole = SectionLength() + 3;
        if (m_nLength >= 3 && whole <= m_nLength) {
            // The CRC_32 decides; the next section is looked for at the
            // pointer.
            m_nLength = whole;
            m_nNextPos = payload + 1 + rest;
            m_nState = SEC_COMPLETE;
            return true;
        }
    }
    // The section in hand ends short of its length (or the pointer leads
    // out of the packet): it is dropped, and the section that starts here
    // is taken.
    m_nState = SEC_WAIT_START;
    return Start(packet, payload);
}

bool CSection::Verify(const uint8_t* section, int length) {
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
