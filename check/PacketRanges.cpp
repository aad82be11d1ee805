// SPDX-License-Identifier: BSD-2-Clause
#include "check/PacketRanges.h"

#include <algorithm>

#include "check/DamageRanges.h"

void CPacketRanges::Count(int pid, int64_t offset, bool atStart) {
    m_range.toOffset = offset;
    ++m_range.count;
    int32_t& slot = m_slot[static_cast<size_t>(pid & 0x1FFF)];
    if (slot < 0) {
        slot = static_cast<int32_t>(m_range.pidPackets.size());
        m_range.pidPackets.emplace_back();
        m_range.pidPackets.back().pid = pid & 0x1FFF;
    }
    CFinding::CPidPackets& p = m_range.pidPackets[static_cast<size_t>(slot)];
    ++p.packets;
    if (atStart) ++p.atStart;
}

void CPacketRanges::Stamp(const CFinding& t) {
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

bool CPacketRanges::Add(const CFinding& packet, int pid, bool atStart, CFinding& closed) {
    const bool close = m_open && !CDamageRanges::Near(m_range, packet);
    if (close) Take(closed);
    if (!m_open) {
        m_open = true;
        m_range.kind = m_kind;
        m_range.hasTime = packet.hasTime;
        m_range.time = packet.time;
        m_range.hasElapsed = packet.hasElapsed;
        m_range.elapsed = packet.elapsed;
        m_range.hasAt = packet.hasAt;
        m_range.at = packet.at;
        m_range.offset = packet.timedAt;
    }
    Count(pid, packet.timedAt, atStart);
    Stamp(packet);
    return close;
}

bool CPacketRanges::OverBy(int64_t now) const {
    return m_open && !Unstamped() && m_range.hasToElapsed && now - m_range.toElapsed > CDamageRanges::kMergeTicks;
}

bool CPacketRanges::Take(CFinding& closed) {
    if (!m_open) return false;
    for (const auto& p : m_range.pidPackets) m_slot[static_cast<size_t>(p.pid)] = -1;
    std::sort(m_range.pidPackets.begin(), m_range.pidPackets.end(),
              [](const CFinding::CPidPackets& a, const CFinding::CPidPackets& b) { return a.pid < b.pid; });
    closed = std::move(m_range);
    m_range = CFinding();
    m_open = false;
    m_stamped = -1;
    return true;
}
