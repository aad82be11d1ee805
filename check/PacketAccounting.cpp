// SPDX-License-Identifier: BSD-2-Clause
#include "check/PacketAccounting.h"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace tsvigil {

PacketAccounting::PacketAccounting(PidCounts* counts) : m_counts(counts) {
    std::fill(std::begin(m_packets), std::end(m_packets), 0);
    std::fill(std::begin(m_lastCounter), std::end(m_lastCounter), -1);
    std::fill(std::begin(m_lastTail), std::end(m_lastTail), 0);
}

bool PacketAccounting::SameAsLast(const uint8_t* p, int pid) const {
    // The packet before on the PID, looked for among the packets still
    // held, the nearest few only: a PID whose packets are further apart is
    // compared by the tail kept of its last packet.
    constexpr int64_t kNear = 256;
    const int64_t held = m_firstHeld != nullptr && m_stride > 0 ? (p - m_firstHeld) / m_stride : 0;
    const uint8_t* before = nullptr;
    for (int64_t i = 1; i <= held && i <= kNear && before == nullptr; ++i) {
        const uint8_t* q = p - i * m_stride;
        if (Pid(q) == pid) before = q;
    }
    if (before == nullptr) return m_lastTail[pid] == PacketTail(p);
    // A packet sent again repeats its adaptation field too, except the
    // program_clock_reference, which may be stamped anew (ISO/IEC 13818-1
    // 2.4.3.5): its 6 bytes are left out. The header bytes up to the
    // adaptation field's flags are compared first, so both packets carry
    // a PCR at the same place or neither does.
    if (std::memcmp(p + 3, before + 3, 3) != 0) return false;
    int64_t pcr = 0;
    const int from = Pcr(p, pcr) ? 12 : 6;
    return std::memcmp(p + from, before + from, static_cast<size_t>(kPacketSize - from)) == 0;
}

bool PacketAccounting::Break(const uint8_t* p, int pid, int last) {
    PidCounts& c = m_counts[pid];
    // A packet whose adaptation field sets discontinuity_indicator starts a
    // new counter sequence (ISO/IEC 13818-1 2.4.3.5): no error, no loss.
    // Read only here, never for a packet whose counter follows on.
    if (Discontinuity(p)) {
        ++c.discontinuities;
        return false;
    }
    m_break = CounterBreak{};
    m_break.last = last;
    m_break.counter = Counter(p);
    // A packet with payload that repeats the counter and the bytes of the
    // packet before is a duplicate, which loses nothing; a further copy is
    // one too many, though it loses nothing either. On other bytes the
    // counter went round: 15 packets were lost.
    const bool payload = HasPayload(p);
    if (payload && m_break.counter == last && SameAsLast(p, pid)) {
        uint64_t& copyAt = m_copyAt[static_cast<size_t>(pid)];
        m_break.duplicate = copyAt + 1 != m_packets[pid];
        copyAt = m_packets[pid];
    } else {
        m_break.lost = (m_break.counter - last - (payload ? 1 : 0)) & 0x0F;
    }
    ++c.continuityErrors;
    c.lost += static_cast<uint64_t>(m_break.lost);
    if (m_break.duplicate) ++c.duplicates;
    return true;
}

void PacketAccounting::Finish() {
    for (int pid = 0; pid < kPidCount; ++pid) m_counts[pid].packets = m_packets[pid];
}

}  // namespace tsvigil
