// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <utility>
#include <vector>

#include "check/BroadcastClock.h"
#include "check/DamageRanges.h"
#include "check/Output.h"
#include "check/PacketRanges.h"
#include "check/PcrClock.h"

namespace tsvigil {

class Indicators;
class PidRoles;

// The broadcast time, in milliseconds, of elapsed ticks of the PCR, by a
// point where both are known (refMs at refTicks). Whole milliseconds are
// taken of the distance, truncated toward zero, so that a time placed
// before the point and one after it round alike. The one conversion of
// ticks to broadcast time: the check and its outputs all place by it.
constexpr int64_t BroadcastMs(int64_t refMs, int64_t refTicks, int64_t ticks) {
    return refMs + (ticks - refTicks) / PcrClock::kTicksPerMs;
}

// Where in time the findings of one check lie: the PCR clock of the
// PCR_PID (ISO/IEC 13818-1 2.4.3.5) gives elapsed ticks, and each TOT
// (ARIB STD-B10) that disagrees with it fixes the offset to the broadcast
// time. Findings made while the PCR runs wait for the next PCR, which
// tells whether they lie in a gap; ranges of damage closed before the
// first TOT wait for it to be placed. The timeline hands what it times to
// the outputs, in the order it was found.
class Timeline {
public:
    // outputs and clock (the last verified TOT) must outlive the timeline.
    Timeline(const std::vector<Output*>& outputs, const BroadcastClock& clock)
        : m_outputs(outputs), m_clock(clock) {}
    Timeline(const Timeline&) = delete;
    Timeline& operator=(const Timeline&) = delete;

    // The PSI is followed (roles outlives the timeline): the PCR_PID is
    // known only once a PMT names it, the PIDs' classes tell damage to
    // picture and sound, and the ranges of damage are built.
    void FollowRoles(const PidRoles* roles);

    // The times of the packet at offset: elapsed from the clock (as it
    // stood before the last PCR when before is set), and the broadcast
    // time by the offset a TOT fixed for that stretch; without a PCR, the
    // last TOT's time.
    void Time(Finding& t, int64_t offset, bool before) const;
    // The broadcast time, in milliseconds, of elapsed ticks, by the offset a
    // TOT fixed for that stretch of the clock (the first for what came
    // before it).
    int64_t AtOf(int64_t ticks) const;
    bool Anchored() const { return m_anchored; }
    // Elapsed ticks of the packet at offset (at or after the last PCR's),
    // as the clock stands: false until two PCRs gave a rate.
    bool ElapsedAt(int64_t offset, int64_t& ticks) const { return m_pcr.Elapsed(offset, ticks); }
    // The broadcast time of elapsed ticks, once any TOT fixed an offset.
    bool PlaceTicks(int64_t ticks, int64_t& ms) const {
        if (!m_anchored && m_anchors.empty()) return false;
        ms = AtOf(ticks);
        return true;
    }
    // Each PCR of the clock PID goes to indicators too (they outlive the
    // timeline's use).
    void FollowIndicators(Indicators* indicators) { m_indicators = indicators; }
    // The gaps' ends in elapsed ticks.
    const std::vector<std::pair<int64_t, int64_t>>& Gaps() const { return m_gaps; }
    // Broadcast time missing where a new time base re-anchored later than
    // the old one ran (ms, from-to): a recording joined after a cut.
    const std::vector<std::pair<int64_t, int64_t>>& Jumps() const { return m_jumps; }
    uint64_t GapCount() const { return m_gapCount; }
    uint64_t DeclaredResets() const { return m_declaredResets; }

    // Hands a finding (timedAt set: the offset its time is taken at) to the
    // outputs, timed; while the PCR runs it waits for the next PCR. A
    // transport error of picture or sound goes to the damage ranges only.
    void Emit(Finding& f, bool transportError = false);
    // A packet of the clock PID with an adaptation field, at offset.
    [[gnu::noinline]] void OnClockPacket(const uint8_t* p, int64_t offset);
    // The PAT or a PMT named pid (-1: none) as the clock PID; here is the
    // offset of the packet that did. Returns pid.
    [[gnu::noinline]] int SetClockPid(int pid, int64_t here);
    // Until the PMT names the PCR_PID (only while SeekingOrigin()): the
    // first PCR of each PID of count packets from p, the first at offset,
    // so that elapsed can count from the first PCR in the file on the
    // PCR_PID.
    [[gnu::noinline]] void KeepFirstPcrs(const uint8_t* p, int64_t offset, int stride, int count);
    bool SeekingOrigin() const { return m_seekingOrigin; }
    // A TOT is about to be handed out: the ranges' last packets lie before it.
    void OnTot() {
        if (m_roles != nullptr) StampRanges(false);
    }
    // A scrambled packet, or one with transport_error_indicator, for its
    // ranges (only when roles are followed): extends the range in hand
    // where it lies close behind, or is timed and may close it.
    void ScrambledPacket(int64_t offset, int pid, bool atStart) { RangePacket(m_scrambledRanges, offset, pid, atStart); }
    void ErrorPacket(int64_t offset, int pid) { RangePacket(m_errorRanges, offset, pid, false); }
    // The input has ended: what waits goes out, the ranges close, and those
    // still waiting for a TOT that never came go out unplaced.
    void Finish();

private:
    struct Pending {
        Finding finding;
        bool transportError;  // of a picture or sound PID, for the damage ranges only
    };
    // Before the PMT names the PCR_PID: a PID's first PCR.
    struct KeptPcr {
        int pid;
        int64_t pcr;
        int64_t offset;
        // A later packet of the PID declared a new time base
        // (discontinuity_indicator): its first PCR is no origin for what
        // follows.
        bool declared;
    };
    // Each offset a TOT fixed, with the elapsed ticks from which it holds: a
    // clock reset's end for the first after it, else the TOT's own place.
    struct AnchorPoint {
        int64_t fromTicks;
        int64_t ms;
    };
    static constexpr size_t kMaxKeptPcrs = 64;
    // Findings held for the next PCR at most: more, or further from the
    // last PCR, and they are timed by extrapolation.
    static constexpr size_t kMaxPending = 4096;
    static constexpr int64_t kMaxPendingBytes = 8 << 20;

    // Times f (elapsed from the clock as it stood before the last PCR when
    // before is set) and hands it out.
    void Deliver(Finding& f, bool before, bool transportError);
    // A TOT the PCR timed as it came fixes the offset when it disagrees
    // with it.
    void AnchorTot(const Finding& f);
    // A TOT that came before the PCR gave a rate fixes the offset at the
    // first finding the PCR times.
    void AnchorEarlyTot(const Finding& f);
    void FlushPending(bool before);
    // A gap or a clock reset at step.
    void OnBreak(const PcrClock::Step& step);
    // The PMT named the PCR_PID: its first PCR kept, if any, starts the clock.
    void StartFromKeptPcr(int pid, int64_t here);
    // A TOT fixed the offset between elapsed and the broadcast time.
    void Anchor(int64_t ms, int64_t elapsed);
    void HandOut(const Finding& f);
    // A timed event of damage to picture and sound, for the ranges.
    void DamageEvent(const Finding& e);
    // Hands out a closed range, or holds it until a TOT lets it be placed.
    void EmitDamage(Finding& range);
    void ReleaseHeldDamage();
    // Fills the broadcast times of a range from its elapsed ticks, where
    // they are known and a TOT fixed the offset.
    void Place(Finding& range) const;
    // Out of the callers' line, so that a check without ranges pays
    // nothing for them (RangeFar: rare once a range is open).
    [[gnu::noinline]] void RangePacket(PacketRanges& ranges, int64_t offset, int pid, bool atStart) {
        if (!ranges.Extend(pid, offset, atStart)) RangeFar(ranges, offset, pid, atStart);
    }
    [[gnu::noinline]] void RangeFar(PacketRanges& ranges, int64_t offset, int pid, bool atStart);
    // Gives the last packet of the range in hand its time, if it has none.
    void StampRange(PacketRanges& ranges, bool before);
    void StampRanges(bool before);
    // Hands out a closed packet range, its PIDs' classes filled in.
    void EmitRange(Finding& range);
    // Hands out the ranges in hand: all of them, or those over by now.
    void CloseRanges(bool all, int64_t now = 0);

    const std::vector<Output*>& m_outputs;
    const BroadcastClock& m_clock;
    const PidRoles* m_roles = nullptr;
    Indicators* m_indicators = nullptr;
    PcrClock m_pcr;
    int m_clockPid = -1;
    std::deque<Pending> m_pending;
    // The first PCR of up to kMaxKeptPcrs PIDs; m_holding: findings wait
    // for the clock to start from one.
    std::vector<KeptPcr> m_keptPcrs;
    bool m_seekingOrigin = false;
    bool m_holding = false;
    // A TOT handed out before the clock gave a rate, to fix the offset from
    // once it does.
    bool m_earlyTot = false;
    int64_t m_earlyTotOffset = 0;
    int64_t m_earlyTotMs = 0;
    // at = BroadcastMs(m_anchorMs, 0, elapsed) once a TOT fixed it.
    bool m_anchored = false;
    int64_t m_anchorMs = 0;
    std::vector<AnchorPoint> m_anchors;
    int64_t m_baseTicks = 0;  // elapsed where the current time base began
    std::vector<std::pair<int64_t, int64_t>> m_jumps;
    std::vector<std::pair<int64_t, int64_t>> m_gaps;
    uint64_t m_gapCount = 0;  // gaps and undeclared clock resets
    uint64_t m_declaredResets = 0;
    DamageRanges m_damage;
    // Built only for the outputs that follow the PSI, which name the class.
    PacketRanges m_scrambledRanges{Finding::Kind::kScrambledRange};
    PacketRanges m_errorRanges{Finding::Kind::kTransportErrorRange};
    std::vector<Finding> m_heldDamage;
};

}  // namespace tsvigil
