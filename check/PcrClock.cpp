// SPDX-License-Identifier: BSD-2-Clause
#include "check/PcrClock.h"

#include "base/TSPacket.h"

CPcrClock::CStep CPcrClock::OnPacket(const uint8_t* p, int64_t offset) {
    CStep step;
    if (Discontinuity(p)) m_bDiscontinuity = true;
    int64_t pcr = 0;
    if (!Pcr(p, pcr)) return step;
    step.offset = offset;
    m_before = CState{m_nLastOffset, m_nLastTicks, m_nRateBytes, m_nRateTicks};
    if (m_nPcrs++ == 0) {
        step.kind = CStep::kFirst;
        m_nLastPcr = pcr;
        m_nLastOffset = offset;
        m_bDiscontinuity = false;
        return step;
    }
    const int64_t forward = ((pcr - m_nLastPcr) % kWrap + kWrap) % kWrap;
    // Extrapolated at the transport rate: where the clock would be now.
    int64_t expected = m_nLastTicks;
    if (m_nRateBytes > 0) expected += Extrapolate(offset - m_nLastOffset);
    step.fromTicks = m_nLastTicks;
    if (m_bDiscontinuity) {
        step.kind = CStep::kDeclared;
        step.toTicks = expected;
    } else if (forward > kWrap / 2) {
        step.kind = CStep::kReset;
        step.toTicks = expected;
    } else {
        step.toTicks = m_nLastTicks + forward;
        // A step of more than a second is a gap when it is at least half a
        // second longer than the spacing seen before it: a stream that
        // sends PCRs only every few seconds gets none.
        const int64_t beyond = forward - m_nSpacing;
        if (forward > kTicksPerSecond && m_nSpacing > 0 && beyond >= kTicksPerSecond / 2) {
            step.kind = CStep::kGap;
            step.gapTicks = beyond;
        } else {
            step.kind = CStep::kNormal;
            if (forward > 0 && offset > m_nLastOffset) {
                m_nRateBytes = offset - m_nLastOffset;
                m_nRateTicks = forward;
            }
            if (!m_bBegun) m_nSpacing = forward;
        }
    }
    m_nLastPcr = pcr;
    m_nLastOffset = offset;
    m_nLastTicks = step.toTicks;
    m_bDiscontinuity = false;
    m_bBegun = false;
    return step;
}

void CPcrClock::Begin(int64_t pcr, int64_t offset) {
    *this = CPcrClock();
    m_nPcrs = 1;
    m_nLastPcr = pcr;
    m_nLastOffset = offset;
    m_bBegun = true;
}

bool CPcrClock::ElapsedOf(const CState& s, int64_t offset, int64_t& ticks) {
    if (s.rateBytes == 0) return false;
    // In 128 bits: a clock PID that stops carrying PCRs leaves gigabytes
    // to extrapolate over.
    ticks = s.lastTicks + static_cast<int64_t>(static_cast<__int128>(offset - s.lastOffset) * s.rateTicks / s.rateBytes);
    return true;
}

bool CPcrClock::Elapsed(int64_t offset, int64_t& ticks) const {
    return ElapsedOf(CState{m_nLastOffset, m_nLastTicks, m_nRateBytes, m_nRateTicks}, offset, ticks);
}

bool CPcrClock::ElapsedBefore(int64_t offset, int64_t& ticks) const {
    if (m_before.rateBytes == 0 && m_nRateBytes > 0 && offset >= m_before.lastOffset)
        return ElapsedOf(CState{m_before.lastOffset, m_before.lastTicks, m_nRateBytes, m_nRateTicks}, offset, ticks);
    return ElapsedOf(m_before, offset, ticks);
}

int64_t CPcrClock::Extrapolate(int64_t bytes) const {
    int64_t ticks = 0;
    ElapsedOf(CState{0, 0, m_nRateBytes, m_nRateTicks}, bytes, ticks);
    return ticks;
}
