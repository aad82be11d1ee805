// SPDX-License-Identifier: BSD-2-Clause
#include "check/DamageRanges.h"

#include <algorithm>

#include "check/PcrClock.h"

bool CDamageRanges::Near(const CFinding& range, const CFinding& e) {
    if (e.hasElapsed && range.hasToElapsed) return e.elapsed - range.toElapsed <= kMergeTicks;
    if (e.hasAt && range.hasToAt) return e.at - range.toAt <= kMergeTicks / CPcrClock::kTicksPerMs;
    return e.timedAt - range.toOffset <= (2 << 20);
}

CFinding CDamageRanges::Open(CFinding::Kind kind, const CFinding& e) {
    CFinding range;
    range.kind = kind;
    range.hasTime = e.hasTime;
    range.time = e.time;
    range.hasElapsed = e.hasElapsed;
    range.elapsed = e.elapsed;
    range.hasAt = e.hasAt;
    range.at = e.at;
    range.offset = e.timedAt;
    return range;
}

bool CDamageRanges::Take(CFinding& closed) {
    if (!m_bOpen) return false;
    // Lost sync alone, with no packet lost or flagged, damaged nothing.
    const bool damaged = m_range.avLost > 0 || m_range.avErrors > 0;
    if (damaged) closed = std::move(m_range);
    m_range = CFinding();
    m_bOpen = false;
    return damaged;
}

bool CDamageRanges::Add(const CFinding& e, CFinding& closed) {
    const bool close = Extend(e, closed);
    if (e.kind == CFinding::kContinuityError) m_range.avLost += static_cast<uint64_t>(e.lost);
    return close;
}

bool CDamageRanges::AddTransportError(const CFinding& at, CFinding& closed) {
    const bool close = Extend(at, closed);
    ++m_range.avErrors;
    return close;
}

bool CDamageRanges::Extend(const CFinding& e, CFinding& closed) {
    // The range in hand closes when e lies too far; it is handed out only
    // when it damaged something.
    bool close = false;
    if (m_bOpen && !Near(m_range, e)) close = Take(closed);
    if (!m_bOpen) {
        m_bOpen = true;
        m_range = Open(CFinding::kDamage, e);
    }
    if (!m_range.hasElapsed && !m_range.hasKnownElapsed && e.hasElapsed) {
        m_range.hasKnownElapsed = true;
        m_range.knownElapsed = e.elapsed;
    }
    if (!m_range.hasAt && !m_range.hasKnownAt && e.hasAt) {
        m_range.hasKnownAt = true;
        m_range.knownAt = e.at;
    }
    m_range.hasToElapsed = e.hasElapsed;
    m_range.toElapsed = e.elapsed;
    m_range.hasToAt = e.hasAt;
    m_range.toAt = e.at;
    m_range.toOffset = e.timedAt;
    if (e.pid >= 0) {
        auto at = std::lower_bound(m_range.pids.begin(), m_range.pids.end(), e.pid);
        if (at == m_range.pids.end() || *at != e.pid) m_range.pids.insert(at, e.pid);
    }
    return close;
}
