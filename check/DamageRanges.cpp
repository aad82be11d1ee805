// SPDX-License-Identifier: BSD-2-Clause
#include "check/DamageRanges.h"

#include <algorithm>

#include "check/PcrClock.h"

namespace tsvigil {

bool DamageRanges::Near(const Finding& range, const Finding& e) {
    if (e.hasElapsed && range.hasToElapsed) return e.elapsed - range.toElapsed <= kMergeTicks;
    if (e.hasAt && range.hasToAt) return e.at - range.toAt <= kMergeTicks / PcrClock::kTicksPerMs;
    return e.timedAt - range.toOffset <= (2 << 20);
}

Finding DamageRanges::Open(Finding::Kind kind, const Finding& e) {
    Finding range;
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

bool DamageRanges::Take(Finding& closed) {
    if (!m_open) return false;
    // Lost sync alone, with no packet lost or flagged, damaged nothing.
    const bool damaged = m_range.avLost > 0 || m_range.avErrors > 0;
    if (damaged) closed = std::move(m_range);
    m_range = Finding();
    m_open = false;
    return damaged;
}

bool DamageRanges::Add(const Finding& e, Finding& closed) {
    const bool close = Extend(e, closed);
    if (e.kind == Finding::Kind::kContinuityError || e.kind == Finding::Kind::kPesLoss) m_range.avLost += static_cast<uint64_t>(e.lost);
    return close;
}

bool DamageRanges::AddTransportError(const Finding& at, Finding& closed) {
    const bool close = Extend(at, closed);
    ++m_range.avErrors;
    return close;
}

bool DamageRanges::Extend(const Finding& e, Finding& closed) {
    // The range in hand closes when e lies too far; it is handed out only
    // when it damaged something.
    bool close = false;
    if (m_open && !Near(m_range, e)) close = Take(closed);
    if (!m_open) {
        m_open = true;
        m_range = Open(Finding::Kind::kDamage, e);
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

}  // namespace tsvigil
