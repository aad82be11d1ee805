// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstdint>
#include <vector>

#include "base/TSPacket.h"
#include "check/CheckStats.h"

namespace tsvigil {

// A continuity_counter that did not follow on, and what it tells.
struct CounterBreak {
    int last = 0;     // the counter of the PID's packet before
    int counter = 0;  // this packet's
    // The packets lost before this one, as the counters tell (a lower
    // bound: whole cycles of 16 cannot be seen); 0 for a copy.
    int lost = 0;
    // A copy of the packet before, the one ISO/IEC 13818-1 2.4.3.3 allows;
    // a further copy is a break that loses nothing and is no duplicate.
    bool duplicate = false;
};

// What each PID's packets tell by their headers alone: the
// continuity_counter's follow-on, copies, discontinuity_indicator,
// scrambling and transport_error_indicator, counted into PidCounts.
//
// The state the packet loop touches for every packet lies in the object
// itself, not on the heap: a local of the loop's function keeps its
// address in a register, with no base to load. For a packet, Take() comes
// first, then the caller's own look (and TakeScrambled() or
// TakeTransportError() when its bits say so), then Keep().
class PacketAccounting {
public:
    // counts: kPidCount entries; must outlive the accounting.
    explicit PacketAccounting(PidCounts* counts);
    PacketAccounting(const PacketAccounting&) = delete;
    PacketAccounting& operator=(const PacketAccounting&) = delete;

    // The packets still where they were read: from first, every stride
    // bytes, up to the packet being taken (an earlier one may be gone).
    void Hold(const uint8_t* first, int stride) {
        m_firstHeld = first;
        m_stride = stride;
    }

    // Counts a packet and checks its continuity_counter against its PID's
    // last: with payload it moves on by one, without it stays, modulo 16
    // (ISO/IEC 13818-1 2.4.3.3). The null PID carries no counter, and a
    // PID's first packet has nothing to follow. onBreak(const
    // CounterBreak&) hears of a break that is an error.
    template <class OnBreak>
    void Take(const uint8_t* p, int pid, OnBreak&& onBreak) {
        ++m_packets[pid];
        const int counter = Counter(p);
        const int last = m_lastCounter[pid];
        // Most packets pass on this one test.
        if (((counter - last - HasPayload(p)) & 0x0F) != 0 && last >= 0 && pid != kNullPid && Break(p, pid, last))
            onBreak(m_break);
    }
    // The packet, taken and looked at, becomes its PID's last.
    void Keep(const uint8_t* p, int pid) {
        m_lastCounter[pid] = Counter(p);
        m_lastTail[pid] = PacketTail(p);
    }
    // A scrambled packet, taken: true when every packet of its PID so far
    // was scrambled (a descrambler that locked a moment after the start).
    bool TakeScrambled(int pid) {
        PidCounts& c = m_counts[pid];
        if (c.scrambled + 1 == m_packets[pid]) ++c.scrambledAtStart;
        return ++c.scrambled == m_packets[pid];
    }
    void TakeTransportError(int pid) { ++m_counts[pid].transportErrors; }
    // The packets of pid taken so far.
    uint64_t Packets(int pid) const { return m_packets[pid]; }

    // Whether a packet with payload that repeats the continuity_counter of
    // its PID's last packet carries that packet's bytes. Asked before the
    // packet is taken.
    [[gnu::cold, gnu::noinline]] bool SameAsLast(const uint8_t* p, int pid) const;

    // Writes the packets per PID into the counts.
    void Finish();

private:
    // A counter that did not follow on: false when a discontinuity_indicator
    // excuses it, else fills m_break.
    [[gnu::cold, gnu::noinline]] bool Break(const uint8_t* p, int pid, int last);

    PidCounts* m_counts;
    uint64_t m_packets[kPidCount];
    int m_lastCounter[kPidCount];  // -1 before the PID's first packet
    // The last 8 bytes of each PID's last packet, for a repeated counter
    // whose packet before is no longer held: one 8-byte load and store a
    // packet, and nothing copied.
    uint64_t m_lastTail[kPidCount];
    // The number (among its PID's packets) of each PID's last copy of a
    // packet sent again; 0 before the first. Touched on breaks alone.
    std::vector<uint64_t> m_copyAt = std::vector<uint64_t>(kPidCount, 0);
    const uint8_t* m_firstHeld = nullptr;
    int m_stride = 0;
    CounterBreak m_break;
};

}  // namespace tsvigil
