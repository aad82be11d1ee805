#pragma once

#include <cstdint>
#include <cstring>

#include "base/Object.h"
#include "si/Section.h"
#include "stream/TransportStream.h"

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
//
// The class is final so that the driver's calls of ReadNext() bind
// statically and the common case below is inlined into its loop.
class CTSPacket final : public CObject {
public:
    static constexpr uint8_t kSync = 0x47;
    // Enough bytes for every look-ahead test: two 204-byte packets and one.
    static constexpr int kLookAhead = 2 * 204 + 1;

    CTransportStream* m_pStream = nullptr;
    // The packet last delivered, where it lies in the source (its 0x47;
    // after the prefix for a 192-byte packet): valid until the next call.
    const uint8_t* m_packet = nullptr;
    int m_nPacketSize = 0;
    uint8_t m_prefix[4] = {};
    // Byte offset in the input of the packet last delivered (of its prefix
    // for a 192-byte packet), and of the next unconsumed byte.
    int64_t m_nPacketOffset = 0;
    int64_t m_nOffset = 0;
    // Where the bytes skipped for lost sync begin, for a result with
    // TSP_SYNC_ERROR (a 192-byte packet's prefix counts among them).
    int64_t m_nLostOffset = 0;

    // Delivers the next packet at m_packet, hands it to the section
    // dispatcher, and returns its flags; or returns TSP_END, with
    // TSP_SYNC_ERROR when bytes were skipped at the end of the input (a
    // cut-off last packet, trailing garbage, an input without any packet).
    virtual int ReadNext() {
        const int flags = FramePacket();
        if (flags & TSP_END) return flags & (TSP_END | TSP_SYNC_ERROR);
        return DispatchPacket(m_packet) ? flags | TSP_SECTION_ERROR : flags;
    }

    // The framing step of ReadNext(), without the dispatch.
    int FramePacket() {
        // The common case, decided before any of the general machinery: the
        // size in use is proven by the two sync bytes that follow (the first
        // test of every order), and the look-ahead, a 192-byte packet's
        // prefix included, lies in the run of bytes the source showed last.
        // It takes exactly the steps the general path takes for such a
        // packet, and copies nothing: the packet is used where it lies, and
        // the source hears of the bytes taken at the next general step.
        const int n = m_nPacketSize;
        if (n != 0 && m_nRun >= kLookAhead + 4) {
            const uint8_t* p = m_pRun;
            const int o = n == 192 ? 4 : 0;
            if (p[o] == kSync && p[o + n] == kSync && p[o + 2 * n] == kSync) {
                if (o != 0) std::memcpy(m_prefix, p, 4);
                m_packet = p + o;
                m_pRun = p + n;
                m_nRun -= n;
                m_nTaken += n;
                m_nPacketOffset = m_nOffset;
                m_nOffset += n;
                return n == 188 ? TSP_SIZE_188 : n == 192 ? TSP_SIZE_192 : TSP_SIZE_204;
            }
        }
        return FrameAny();
    }

private:
    // The general framing step: waiting for bytes, the prefix step, the
    // look-ahead tests in their orders, lost sync and the end of input.
    int FrameAny();

    int m_nHeld = 0;                   // bytes the source is known to hold (a lower bound)
    const uint8_t* m_pRun = nullptr;   // the next unconsumed byte, in the source's run
    int m_nRun = 0;                    // bytes from m_pRun in that run
    int m_nTaken = 0;                  // bytes delivered but not yet consumed from the source
    uint8_t m_straddle[kLookAhead] = {};  // the look-ahead, when the source cannot show it in place
};
