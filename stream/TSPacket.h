#pragma once

#include <cstdint>

#include "stream/Object.h"

class CTransportStream;

// Result flags of CTSPacket::ReadNext(); several may be set together.
enum {
    TSP_END = 0x01,            // no packet: the input has ended (always alone)
    TSP_SYNC_ERROR = 0x02,     // bytes were skipped before this packet's sync byte
    TSP_SIZE_188 = 0x04,
    TSP_SIZE_192 = 0x08,
    TSP_SIZE_204 = 0x10,
    TSP_SECTION_ERROR = 0x20,  // a section completed by this packet failed its CRC
};

// Frames transport packets (ISO/IEC 13818-1) out of a stream source: finds
// each packet boundary by its sync byte 0x47 and tells 188-byte packets,
// 192-byte packets (a 4-byte prefix before each) and 204-byte packets (16
// bytes after each) apart by looking ahead for the next sync bytes.
class CTSPacket : public CObject {
public:
    static constexpr uint8_t kSync = 0x47;
    // Enough bytes for every look-ahead test: two 204-byte packets and one.
    static constexpr int kLookAhead = 2 * 204 + 1;

    CTransportStream* m_pStream = nullptr;
    uint8_t m_packet[204] = {};
    int m_nPacketSize = 0;
    uint8_t m_prefix[4] = {};

    // Delivers the next packet into m_packet, hands it to the section
    // dispatcher, and returns its flags; or returns TSP_END.
    virtual int ReadNext();
    // The framing step of ReadNext(), without the dispatch.
    int FramePacket();

private:
    int m_nHeld = 0;  // bytes the source is known to hold (a lower bound)
};
