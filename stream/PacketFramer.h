// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstdint>

#include "base/Object.h"
#include "stream/StreamSource.h"

namespace tsvigil {

// Result flags of PacketFramer::FrameStretch(); several may be set together.
enum class FrameFlags : uint8_t {
    kNone = 0,
    kEnd = 0x01,        // no packet: the input has ended (with kSyncError at most)
    kSyncError = 0x02,  // bytes were skipped before this packet's sync byte
    kSize188 = 0x04,
    kSize192 = 0x08,
    kSize204 = 0x10,
    kSizes = kSize188 | kSize192 | kSize204,
};
constexpr FrameFlags operator|(FrameFlags a, FrameFlags b) {
    return static_cast<FrameFlags>(static_cast<uint8_t>(a) | static_cast<uint8_t>(b));
}
constexpr FrameFlags operator&(FrameFlags a, FrameFlags b) {
    return static_cast<FrameFlags>(static_cast<uint8_t>(a) & static_cast<uint8_t>(b));
}
// Whether any of flags is set: (flags & FrameFlags::kEnd) reads as a test.
constexpr bool Any(FrameFlags flags) { return flags != FrameFlags::kNone; }

// Frames transport packets (ISO/IEC 13818-1) out of a stream source: finds
// each packet boundary by its sync byte 0x47 and tells 188-byte packets,
// 192-byte packets (a 4-byte prefix before each) and 204-byte packets (16
// bytes after each) apart by looking ahead for the next sync bytes.
class PacketFramer final : public Object {
public:
    static constexpr uint8_t kSync = 0x47;
    // Enough bytes for every look-ahead test: two 204-byte packets and one.
    static constexpr int kLookAhead = 2 * 204 + 1;

    explicit PacketFramer(StreamSource& stream) : m_stream(&stream) {}

    // The stretch last delivered: Count() packets, the first at Packet()
    // (its 0x47; after the prefix for a 192-byte packet), each PacketSize()
    // bytes after the one before, where they lie in the source: valid until
    // the next call.
    const uint8_t* Packet() const { return m_packet; }
    int Count() const { return m_count; }
    int PacketSize() const { return m_packetSize; }
    // Where the bytes skipped for lost sync begin, for a result with
    // kSyncError (a 192-byte packet's prefix counts among them).
    int64_t LostOffset() const { return m_lostOffset; }

    // Byte offset in the input of a packet of the stretch last delivered
    // (of its prefix for a 192-byte packet): the packets of a stretch lie
    // one after another in the input as in memory.
    int64_t PacketOffset(const uint8_t* packet) const { return m_packetOffset + (packet - m_packet); }
    // Byte offset in the input of the next unconsumed byte. The common case
    // does not keep it: it follows from how far it went in the run.
    int64_t Offset() const { return m_offset + (m_run - m_base); }
    // The first packet delivered since the source last consumed bytes: it
    // and every packet after it, at m_packetSize intervals up to the
    // stretch last delivered, still lie where they were delivered. An
    // earlier packet may have been overwritten by a refill of the buffer.
    const uint8_t* FirstHeld() const { return m_firstHeld; }
    // Bytes of the packets delivered so far that lie in runs of kMinRun or
    // more, one after another at one packet size with no byte skipped
    // between them: a transport stream, not a chance 0x47.
    int64_t BytesInRuns() const { return m_runBytes + (m_runPackets >= kMinRun ? m_runPackets * m_packetSize : 0); }
    static constexpr int kMinRun = 5;

    // Delivers the next stretch of packets and returns the flags of its
    // first packet (the others have their size flag alone); or returns
    // kEnd, with kSyncError when bytes were skipped at the end
    // of the input (a cut-off last packet, trailing garbage, an input
    // without any packet).
    //
    // The common case is a stretch of the source's run whose sync bytes
    // were all found in place at the size in use, each with the two after
    // it (the first test of every order), and whose packets' look-ahead
    // lies in the run. It takes exactly the steps the general path takes
    // for each of its packets, and copies nothing: the packets are used
    // where they lie, and the source hears of the bytes taken at the next
    // general step. Any other packet comes alone, from the general path.
    FrameFlags FrameStretch();

private:
    // Proves the sync bytes ahead in the run at the size in use; returns
    // how many packets from m_run on are proven, 0 when not even the first.
    int Prove() const;
    // The general framing step: waiting for bytes, the prefix step, the
    // look-ahead tests in their orders, lost sync and the end of input.
    FrameFlags FrameAny();
    // Its steps: takes in the packets the common case delivered; consumes a
    // 192-byte packet's prefix (false at the end of the input, with the
    // result in end); waits until the look-ahead is held or the input ends
    // (false when nothing is left); delivers the packet of size at p.
    void TakeRun();
    bool TakePrefix(FrameFlags& end);
    bool Fill();
    FrameFlags Deliver(const uint8_t* p, int size, bool syncLost);

    // How many packets Prove() proves at once, at most: enough to spread
    // its cost thin, few enough that the bytes it looks at are still cached
    // when they are checked.
    static constexpr int kProveAhead = 64;

    StreamSource* m_stream;
    const uint8_t* m_packet = nullptr;
    int m_count = 0;
    int m_packetSize = 0;
    int64_t m_lostOffset = 0;
    FrameFlags m_sizeFlag = FrameFlags::kNone;  // the size flag of m_packetSize
    // The runs: the bytes of those closed that count, and the packets of the
    // one open (all of m_packetSize). Counted per stretch.
    int64_t m_runBytes = 0;
    int64_t m_runPackets = 0;
    int m_held = 0;                   // bytes the source is known to hold (a lower bound)
    // The source's run: the next unconsumed byte and the end of the run.
    // m_base is where m_run stood at the last general step; the offset
    // and the bytes taken as they were then are kept beside it.
    const uint8_t* m_run = nullptr;
    const uint8_t* m_runEnd = nullptr;
    const uint8_t* m_base = nullptr;
    int64_t m_packetOffset = 0;       // of the stretch's first packet
    int64_t m_offset = 0;
    int m_taken = 0;                  // bytes delivered but not yet consumed from the source
    uint8_t m_straddle[kLookAhead] = {};  // the look-ahead, when the source cannot show it in place
    const uint8_t* m_firstHeld = nullptr;
};

}  // namespace tsvigil
