// SPDX-License-Identifier: BSD-2-Clause
#include "check/PacketRanges.h"

#include <algorithm>

#include "check/DamageRanges.h"

namespace tsvigil {

void PacketRanges::Stamp(const Finding& t) {
    if (!m_open) return;
    m_stamped = m_range.toOffset;
    m_range.hasToElapsed = t.hasElapsed;
    m_range.toElapsed = t.elapsed;
    m_range.hasToAt = t.hasAt;
    m_range.toAt = t.at;
    // A start without any time yet takes the first the clock gives; one
    // with elapsed only is placed from it once a TOT fixes the offset.
    if (!m_range.hasElapsed && !m_range.hasAt) {
        m_range.hasElapsed = t.hasElapsed;
        m_range.elapsed = t.elapsed;
        m_range.hasAt = t.hasAt;
        m_range.at = t.at;
    }
}

bool PacketRanges::Add(const Finding& packet, int pid, bool atStart, Finding& closed) {
    const bool close = m_open && !DamageRanges::Near(m_range, packet);
    if (close) Take(closed);
    if (!m_open) {
        m_open = true;
        m_range = DamageRanges::Open(m_kind, packet);
    }
    Count(pid, packet.timedAt, atStart);
    Stamp(packet);
    return close;
}

bool PacketRanges::OverBy(int64_t now) const {
    return m_open && !Unstamped() && m_range.hasToElapsed && now - m_range.toElapsed > DamageRanges::kMergeTicks;
}

bool PacketRanges::Take(Finding& closed) {
    if (!m_open) return false;
    std::sort(m_range.pids.begin(), m_range.pids.end());
    m_range.pidPackets.reserve(m_range.pids.size());
    for (const int pid : m_range.pids) {
        Tally& t = m_tally[static_cast<size_t>(pid)];
        Finding::PidPackets p;
        p.pid = pid;
        p.packets = t.packets;
        p.atStart = t.atStart;
        p.offset = t.first;
        p.toOffset = t.last;
        m_range.pidPackets.push_back(p);
        t = Tally();
    }
    m_range.pids.clear();
    closed = std::move(m_range);
    m_range = Finding();
    m_open = false;
    m_stamped = -1;
    return true;
}

}  // namespace tsvigil
