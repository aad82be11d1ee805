// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstdint>

namespace tsvigil {

// The stream's own clock, from the program_clock_reference of one PID
// (ISO/IEC 13818-1 2.4.3.5: 33 bits of base at 90 kHz and 9 bits of
// extension, 27 MHz in all). A packet's time is the last PCR before it plus
// its byte distance at the transport rate measured between the two PCRs
// before that, as the decoder model extrapolates: causal, so findings can
// be timed as they come, and a stretch of stream that is missing shows as
// a jump at the first PCR after it.
//
// Times are ticks of 27 MHz since the first PCR ("elapsed"); they keep
// counting across a gap (by the PCR's step) and across a clock reset (by
// the transport rate from the last good PCR).
class PcrClock {
public:
    static constexpr int64_t kTicksPerSecond = 27000000;
    static constexpr int64_t kTicksPerMs = kTicksPerSecond / 1000;
    // The PCR wraps at 2^33 x 300.
    static constexpr int64_t kWrap = (int64_t(1) << 33) * 300;

    // What a PCR did to the clock.
    struct Step {
        enum class Kind {
            kNone,      // no PCR in the packet
            kFirst,     // the first PCR
            kNormal,    // on time
            kGap,       // more than 1 s after the one before, undeclared
            kReset,     // backwards, undeclared: the recording was joined, or the clock switched
            kDeclared,  // a discontinuity_indicator declared a new time base
        };
        Kind kind = Kind::kNone;
        int64_t fromTicks = 0;  // elapsed at the PCR before (the gap's start)
        int64_t toTicks = 0;    // elapsed at this PCR
        int64_t gapTicks = 0;   // for kGap: the step less the spacing seen before it
        int64_t offset = 0;     // of this PCR's packet
        // The PCR before was read ahead (Begin()): PCRs in between were not
        // read, and the step says nothing of their spacing.
        bool resumed = false;
    };

    // A packet of the clock PID with an adaptation field (callers test
    // adaptation_field_control; p is 188 bytes), at byte offset.
    Step OnPacket(const uint8_t* p, int64_t offset);
    // Starts the clock at a PCR read before its PID was known to carry the
    // clock: the first PCR of the PCR_PID in the file. The step to the next
    // PCR gives a rate but no spacing, since PCRs in between were not read.
    void Begin(int64_t pcr, int64_t offset);

    bool Started() const { return m_pcrs > 0; }
    // Elapsed ticks of the packet at offset (at or after the last PCR's):
    // false until two PCRs gave a rate.
    bool Elapsed(int64_t offset, int64_t& ticks) const;
    // The same as the clock stood before the last PCR: how a packet between
    // the last two PCRs was timed as it came. Between the two PCRs that
    // gave the first rate, by that rate (no packet could be timed sooner).
    bool ElapsedBefore(int64_t offset, int64_t& ticks) const;
    // The next PCR starts a new time base (the clock PID changed).
    void Declare() { m_discontinuity = true; }
    int64_t LastPcrOffset() const { return m_lastOffset; }

private:
    // Ticks for bytes at the transport rate (known when called).
    int64_t Extrapolate(int64_t bytes) const;

    struct State {
        int64_t lastOffset = 0;
        int64_t lastTicks = 0;
        int64_t rateBytes = 0;
        int64_t rateTicks = 0;
    };
    static bool ElapsedOf(const State& s, int64_t offset, int64_t& ticks);

    State m_before;  // at the PCR before the last
    int64_t m_pcrs = 0;
    int64_t m_lastPcr = 0;     // 27 MHz, modulo kWrap
    int64_t m_lastOffset = 0;
    int64_t m_lastTicks = 0;   // elapsed at the last PCR
    int64_t m_spacing = 0;     // ticks between the last two PCRs on time
    // The transport rate as bytes over ticks between the last two PCRs on
    // time; 0 until known.
    int64_t m_rateBytes = 0;
    int64_t m_rateTicks = 0;
    bool m_discontinuity = false;  // a discontinuity_indicator since the last PCR
    bool m_begun = false;          // Begin() set the last PCR: the next step sets no spacing
};

}  // namespace tsvigil
