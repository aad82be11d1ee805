// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstdint>
#include <vector>

#include "base/TSPacket.h"
#include "check/Finding.h"

namespace tsvigil {

// Merges packets of one kind (scrambled, or with transport_error_indicator)
// into ranges by the rule of DamageRanges: a range goes on while each
// packet comes within a second of the one before. Such packets can be
// every packet of a recording (one the descrambler never unlocked), so a
// packet close behind the range's last by offset only extends it; a time
// is read only where a range opens or may close, and where the caller
// stamps the range's last packet (at each PCR and TOT, and at the end).
// A gap in the PCR ends the range in hand, since bytes then say nothing of
// time.
class PacketRanges {
public:
    // Bytes that lie within a second at any rate a service is recorded at:
    // a one-segment service alone runs at about 50 kB/s.
    static constexpr int64_t kSureBytes = 64 * 188;

    // kind: Finding::Kind::kScrambledRange or Finding::Kind::kTransportErrorRange.
    explicit PacketRanges(Finding::Kind kind) : m_kind(kind) {}

    // A packet of pid at offset; atStart when it comes before the PID's
    // first clear packet. True when it extended the range in hand;
    // otherwise the caller times it and calls Add.
    bool Extend(int pid, int64_t offset, bool atStart) {
        if (!m_open || offset - m_range.toOffset > kSureBytes) return false;
        Count(pid, offset, atStart);
        return true;
    }
    // The packet of a failed Extend, with its times (elapsed, at) and its
    // offset in timedAt; the range's last packet must be stamped. Returns
    // true when the packet closed the range in hand, which is then in
    // closed; the packet opens the next one.
    bool Add(const Finding& packet, int pid, bool atStart, Finding& closed);

    // Whether the range's last packet has no time yet: then the caller
    // times LastOffset() and hands it to Stamp.
    bool Unstamped() const { return m_open && m_range.toOffset != m_stamped; }
    int64_t LastOffset() const { return m_range.toOffset; }
    // The times of the last packet. A range that opened before the clock
    // could give a time takes this first one as its start too.
    void Stamp(const Finding& t);

    bool Open() const { return m_open; }
    // True when the range in hand is over by now (elapsed ticks of a PCR).
    bool OverBy(int64_t now) const;
    // Takes the range in hand, if any, its PIDs ascending.
    bool Take(Finding& closed);

private:
    // The packet in the range (pid below 0x2000): a few increments at the
    // PID's own index.
    void Count(int pid, int64_t offset, bool atStart) {
        m_range.toOffset = offset;
        ++m_range.count;
        Tally& t = m_tally[static_cast<size_t>(pid)];
        if (t.packets++ == 0) FirstOf(pid, offset);
        t.atStart += atStart ? 1 : 0;
        t.last = offset;
    }
    // The PID's first packet in the range.
    [[gnu::noinline, gnu::cold]] void FirstOf(int pid, int64_t offset) {
        m_range.pids.push_back(pid);
        m_tally[static_cast<size_t>(pid)].first = offset;
    }

    struct Tally {
        uint64_t packets = 0;
        uint64_t atStart = 0;
        int64_t first = 0;  // offsets of the PID's first and last packet in the range
        int64_t last = 0;
    };

    Finding::Kind m_kind;
    bool m_open = false;
    Finding m_range;  // pids: those with packets in it, as they came
    int64_t m_stamped = -1;  // the offset whose times the range's end holds
    std::vector<Tally> m_tally = std::vector<Tally>(kPidCount);  // per PID, in the range in hand
};

}  // namespace tsvigil
