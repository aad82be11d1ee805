// SPDX-License-Identifier: BSD-2-Clause
#include "check/PcrClock.h"

#include "base/TSPacket.h"

namespace tsvigil {

PcrClock::Step PcrClock::OnPacket(const uint8_t* p, int64_t offset) {
    Step step;
    if (Discontinuity(p)) m_discontinuity = true;
    int64_t pcr = 0;
    if (!Pcr(p, pcr)) return step;
    step.offset = offset;
    m_before = State{m_lastOffset, m_lastTicks, m_rateBytes, m_rateTicks};
    if (m_pcrs++ == 0) {
        step.kind = Step::Kind::kFirst;
        m_lastPcr = pcr;
        m_lastOffset = offset;
        m_discontinuity = false;
        return step;
    }
    const int64_t forward = ((pcr - m_lastPcr) % kWrap + kWrap) % kWrap;
    // Extrapolated at the transport rate: where the clock would be now.
    int64_t expected = m_lastTicks;
    if (m_rateBytes > 0) expected += Extrapolate(offset - m_lastOffset);
    step.fromTicks = m_lastTicks;
    step.resumed = m_begun;
    if (m_discontinuity) {
        step.kind = Step::Kind::kDeclared;
        step.toTicks = expected;
    } else if (forward > kWrap / 2) {
        step.kind = Step::Kind::kReset;
        step.toTicks = expected;
    } else {
        step.toTicks = m_lastTicks + forward;
        // A step of more than a second is a gap when it is at least half a
        // second longer than the spacing seen before it: a stream that
        // sends PCRs only every few seconds gets none.
        const int64_t beyond = forward - m_spacing;
        if (forward > kTicksPerSecond && m_spacing > 0 && beyond >= kTicksPerSecond / 2) {
            step.kind = Step::Kind::kGap;
            step.gapTicks = beyond;
        } else {
            step.kind = Step::Kind::kNormal;
            if (forward > 0 && offset > m_lastOffset) {
                m_rateBytes = offset - m_lastOffset;
                m_rateTicks = forward;
            }
            if (!m_begun) m_spacing = forward;
        }
    }
    m_lastPcr = pcr;
    m_lastOffset = offset;
    m_lastTicks = step.toTicks;
    m_discontinuity = false;
    m_begun = false;
    return step;
}

void PcrClock::Begin(int64_t pcr, int64_t offset) {
    *this = PcrClock();
    m_pcrs = 1;
    m_lastPcr = pcr;
    m_lastOffset = offset;
    m_begun = true;
}

bool PcrClock::ElapsedOf(const State& s, int64_t offset, int64_t& ticks) {
    if (s.rateBytes == 0) return false;
    // In 128 bits: a clock PID that stops carrying PCRs leaves gigabytes
    // to extrapolate over.
    ticks = s.lastTicks + static_cast<int64_t>(static_cast<__int128>(offset - s.lastOffset) * s.rateTicks / s.rateBytes);
    return true;
}

bool PcrClock::Elapsed(int64_t offset, int64_t& ticks) const {
    return ElapsedOf(State{m_lastOffset, m_lastTicks, m_rateBytes, m_rateTicks}, offset, ticks);
}

bool PcrClock::ElapsedBefore(int64_t offset, int64_t& ticks) const {
    if (m_before.rateBytes == 0 && m_rateBytes > 0 && offset >= m_before.lastOffset)
        return ElapsedOf(State{m_before.lastOffset, m_before.lastTicks, m_rateBytes, m_rateTicks}, offset, ticks);
    return ElapsedOf(m_before, offset, ticks);
}

int64_t PcrClock::Extrapolate(int64_t bytes) const {
    int64_t ticks = 0;
    ElapsedOf(State{0, 0, m_rateBytes, m_rateTicks}, bytes, ticks);
    return ticks;
}

}  // namespace tsvigil
