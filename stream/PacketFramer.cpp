// SPDX-License-Identifier: BSD-2-Clause
#include "stream/PacketFramer.h"

#include <cstddef>
#include <cstring>

#include "stream/StreamSource.h"

namespace tsvigil {

namespace {

// The bytes the framer may look at: b(n) is the byte n places after the next
// unconsumed one, 0 at or past the bytes held.
struct LookAhead {
    const uint8_t* p;
    int avail;
    uint8_t b(int n) const { return n < avail ? p[n] : 0; }

    // The next packet is an n-byte one when the next two sync bytes are where
    // it says, or the input ends right after it or right after one more.
    bool Pair(int n) const { return b(n) == PacketFramer::kSync && b(2 * n) == PacketFramer::kSync; }
    bool LastTwo(int n) const { return b(n) == PacketFramer::kSync && avail == 2 * n; }
    bool LastOne(int n) const { return avail == n; }
    // A 192-byte packet's own prefix is already consumed, so the next sync
    // byte is 192 places on and the input ends 188 or 380 bytes on.
    bool Pair192() const { return Pair(192); }
    bool LastTwo192() const { return b(192) == PacketFramer::kSync && avail == 380; }
    bool LastOne192() const { return avail == 188; }

    bool Is188(bool lastOne) const { return Pair(188) || LastTwo(188) || (lastOne && LastOne(188)); }
    bool Is204() const { return Pair(204) || LastTwo(204) || LastOne(204); }
    bool Is192(bool lastOne) const { return Pair192() || LastTwo192() || (lastOne && LastOne192()); }

    // While locked at size n (a packet of that size was delivered and no
    // byte skipped since), one sync byte in place is enough: the next
    // packet's, or the one after it when the next packet's own sync byte is
    // damaged, or none at all when no further whole packet follows before
    // the end. Fewer than kLookAhead bytes are held only at the end.
    bool Locked(int n) const {
        const int length = n == 204 ? 204 : 188;
        if (avail < length) return false;
        const bool ended = avail < PacketFramer::kLookAhead;
        return b(n) == PacketFramer::kSync || b(2 * n) == PacketFramer::kSync ||
               (ended && avail < n + length);
    }

    // The size the tests prove, tried in an order that starts with the size
    // in use; 0 when no test passes.
    int Size(int current) const {
        switch (current) {
            case 188:
                if (Is188(true)) return 188;
                if (Is204()) return 204;
                if (Is192(false)) return 192;
                return 0;
            case 204:
                if (Is204()) return 204;
                if (Is188(true)) return 188;
                if (Is192(false)) return 192;
                return 0;
            default:
                if (Is192(true)) return 192;
                if (Is188(false)) return 188;
                if (Is204()) return 204;
                return 0;
        }
    }
};

}  // namespace

FrameFlags PacketFramer::FrameStretch() {
    const uint8_t* const p = m_run;
    const int count = Prove();
    if (count == 0) {
        const FrameFlags flags = FrameAny();
        m_count = Any(flags & FrameFlags::kEnd) ? 0 : 1;
        return flags;
    }
    const int n = m_packetSize;
    m_run = p + count * n;
    m_packetOffset = m_offset + (p - m_base);
    m_packet = n == 192 ? p + 4 : p;  // past the prefix
    m_count = count;
    m_runPackets += count;
    return m_sizeFlag;
}

int PacketFramer::Prove() const {
    const uint8_t* const p = m_run;
    const int n = m_packetSize;
    // Packet i on from p is proven when its look-ahead, and a 192-byte
    // packet's prefix, lies in the run (kLookAhead + 4 bytes from it) and
    // the sync bytes of packets i, i + 1 and i + 2 are in place: each sync
    // byte is looked at once, not three times. Where the proof ends the
    // next call comes here again, and makes the same test the general path
    // would have made for that packet.
    const ptrdiff_t run = m_runEnd - p;
    if (n != 0 && run >= kLookAhead + 4) {
        const ptrdiff_t fit = (run - (kLookAhead + 4)) / n + 1;
        const int most = fit < kProveAhead ? static_cast<int>(fit) : kProveAhead;
        // The sync bytes looked at are those of packets 0 to most + 1; the
        // last lies at most kLookAhead - 1 bytes past a packet whose
        // look-ahead is in the run.
        const uint8_t* sync = p + (n == 192 ? 4 : 0);
        const int look = most + 2;
        int inPlace = 0;
        // Four at a time while all four are in place, then one at a time up
        // to the first out of place.
        while (inPlace + 4 <= look && ((sync[0] ^ kSync) | (sync[n] ^ kSync) | (sync[2 * n] ^ kSync) |
                                       (sync[3 * n] ^ kSync)) == 0) {
            sync += 4 * n;
            inPlace += 4;
        }
        while (inPlace < look && *sync == kSync) {
            sync += n;
            ++inPlace;
        }
        const int proven = inPlace - 2 < most ? inPlace - 2 : most;
        if (proven > 0) return proven;
    }
    return 0;
}

void PacketFramer::TakeRun() {
    StreamSource& s = *m_stream;
    // Take in the packets the common case delivered from the run: they are
    // consumed now, and the last of them is no longer in use.
    const ptrdiff_t ran = m_run - m_base;
    m_offset += ran;
    m_taken += static_cast<int>(ran);
    m_run = m_runEnd = m_base = nullptr;
    m_lostOffset = m_offset;
    if (m_taken != 0) {
        s.Consume(m_taken);
        m_taken = 0;
    }
    // m_held is a lower bound of the bytes the source holds: only this
    // consumer takes bytes out, so it is counted down here and read again
    // from the source only when it runs short, and once at each general
    // step, since the packets taken from the run were not counted down.
    m_held = s.GetDataSize();
}

bool PacketFramer::TakePrefix(FrameFlags& end) {
    StreamSource& s = *m_stream;
    while (m_held < 4) {
        // Test for the end before counting again: the producer marks the
        // end only after the last bytes are in the ring.
        const bool ended = s.IsEnd();
        m_held = s.GetDataSize();
        if (m_held >= 4) break;
        if (ended) {
            // 1 to 3 bytes after the last packet: lost sync at the end.
            end = FrameFlags::kEnd;
            if (m_held > 0) {
                s.Consume(m_held);
                m_offset += m_held;
                m_held = 0;
                end = FrameFlags::kEnd | FrameFlags::kSyncError;
            }
            return false;
        }
        s.WaitForData();
    }
    s.Consume(4);
    m_held -= 4;
    m_offset += 4;
    return true;
}

bool PacketFramer::Fill() {
    StreamSource& s = *m_stream;
    while (m_held < kLookAhead) {
        const bool ended = s.IsEnd();
        m_held = s.GetDataSize();
        if (m_held >= kLookAhead) break;
        if (ended) return m_held != 0;
        s.WaitForData();
    }
    return true;
}

FrameFlags PacketFramer::Deliver(const uint8_t* p, int size, bool syncLost) {
    // The packet stays where it lies until the next step; the common case
    // goes on from the source's run after it.
    const int copy = size == 204 ? 204 : 188;
    // Bytes skipped or a new size end the run.
    if (syncLost || size != m_packetSize) {
        if (m_runPackets >= kMinRun) m_runBytes += m_runPackets * m_packetSize;
        m_runPackets = 0;
    }
    ++m_runPackets;
    m_packet = p;
    // Everything before it was consumed; the stretches that follow from the
    // run lie right after it.
    m_firstHeld = p;
    m_taken = copy;
    m_held -= copy;
    const uint8_t* run = nullptr;
    const int length = m_stream->Run(run);
    if (run == p && length > copy) {
        m_run = run + copy;
        m_runEnd = run + length;
    }
    m_base = m_run;
    m_packetOffset = m_offset - (size == 192 && m_offset >= 4 ? 4 : 0);
    m_offset += copy;
    m_packetSize = size;
    m_sizeFlag = size == 188 ? FrameFlags::kSize188 : size == 192 ? FrameFlags::kSize192 : FrameFlags::kSize204;
    return m_sizeFlag | (syncLost ? FrameFlags::kSyncError : FrameFlags::kNone);
}

FrameFlags PacketFramer::FrameAny() {
    StreamSource& s = *m_stream;
    bool syncLost = false;
    TakeRun();
    // A 192-byte packet starts with a 4-byte prefix; consume it before
    // looking for 0x47.
    FrameFlags end = FrameFlags::kEnd;
    if (m_packetSize == 192 && !TakePrefix(end)) return end;

    for (;;) {
        if (!Fill()) return FrameFlags::kEnd | (syncLost ? FrameFlags::kSyncError : FrameFlags::kNone);
        // Once 409 bytes are held every test can be made on them; fewer are
        // held only at the end of the input, where the count is exact.
        const int avail = m_held;
        const int window = avail < kLookAhead ? avail : kLookAhead;
        LookAhead la{s.Window(window, m_straddle), avail};
        if (la.p[0] == kSync) {
            int size = 0;
            if (m_packetSize != 0 && !syncLost && la.Locked(m_packetSize)) size = m_packetSize;
            if (size == 0) size = la.Size(m_packetSize);
            if (size != 0) return Deliver(la.p, size, syncLost);
        } else if (m_offset == 0 && window > 4 && la.p[4] == kSync &&
                   LookAhead{la.p + 4, avail - 4}.Is192(true)) {
            // A 192-byte recording starts with the first packet's prefix:
            // it is consumed as such, not skipped as lost sync.
            s.Consume(4);
            m_held -= 4;
            m_offset = 4;
            continue;
        }
        // Lost sync: skip to the next 0x47 among the bytes in view (at least
        // one byte).
        int skip = 1;
        if (window > 1) {
            const void* next = std::memchr(la.p + 1, kSync, static_cast<size_t>(window - 1));
            skip = next ? static_cast<int>(static_cast<const uint8_t*>(next) - la.p) : window;
        }
        s.Consume(skip);
        m_held -= skip;
        m_offset += skip;
        syncLost = true;
    }
}

}  // namespace tsvigil
