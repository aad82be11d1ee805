// SPDX-License-Identifier: BSD-2-Clause
#include "check/Timeline.h"

#include <algorithm>
#include <iterator>

#include "base/TSPacket.h"
#include "check/Indicators.h"
#include "check/PidRoles.h"
#include "check/Verdict.h"

namespace tsvigil {

void Timeline::FollowRoles(const PidRoles* roles) {
    m_roles = roles;
    m_seekingOrigin = roles != nullptr;
}

void Timeline::Time(Finding& t, int64_t offset, bool before) const {
    t.timedAt = offset;
    t.hasElapsed = before ? m_pcr.ElapsedBefore(offset, t.elapsed) : m_pcr.Elapsed(offset, t.elapsed);
    if (t.hasElapsed) {
        t.hasAt = m_anchored;
        t.at = AtOf(t.elapsed);
    } else if (!m_pcr.Started()) {
        // Without a PCR the broadcast time is that of the last TOT.
        TimeValue tot;
        t.hasAt = m_clock.LastTime(tot);
        t.at = tot.Seconds() * 1000;
    }
}

int64_t Timeline::AtOf(int64_t ticks) const {
    auto after = std::upper_bound(m_anchors.begin(), m_anchors.end(), ticks,
                                  [](int64_t t, const AnchorPoint& a) { return t < a.fromTicks; });
    const int64_t ms = m_anchors.empty() ? m_anchorMs : after == m_anchors.begin() ? after->ms : std::prev(after)->ms;
    return BroadcastMs(ms, 0, ticks);
}

void Timeline::Emit(Finding& f, bool transportError) {
    // Findings after a PCR of a PID that may turn out to be the PCR_PID
    // wait for the PMT, which tells where elapsed starts.
    if (!m_pcr.Started() && !m_holding) {
        Deliver(f, false, transportError);
        return;
    }
    m_pending.push_back(Pending{f, transportError});
    // A clock PID that stops carrying PCRs must not hold findings back for
    // long: past this they are timed by extrapolation.
    if (m_pending.size() > kMaxPending || f.timedAt - m_pcr.LastPcrOffset() > kMaxPendingBytes) FlushPending(false);
}

void Timeline::Deliver(Finding& f, bool before, bool transportError) {
    const bool timedHere = !f.hasElapsed;
    if (timedHere)
        f.hasElapsed = before ? m_pcr.ElapsedBefore(f.timedAt, f.elapsed) : m_pcr.Elapsed(f.timedAt, f.elapsed);
    if (timedHere && f.kind == Finding::Kind::kTot) AnchorTot(f);
    AnchorEarlyTot(f);
    // A finding as it comes takes the offset in force now (a range placed
    // later, the one that held for its stretch: AtOf).
    if (f.hasElapsed) {
        f.hasAt = m_anchored;
        f.at = BroadcastMs(m_anchorMs, 0, f.elapsed);
    }
    if (!f.hasElapsed && !m_pcr.Started() && f.hasTime) {
        // Without a PCR the broadcast time is that of the last TOT.
        f.hasAt = true;
        f.at = f.time.Seconds() * 1000;
    }
    if (transportError) {
        Finding closed;
        if (m_damage.AddTransportError(f, closed)) EmitDamage(closed);
        return;
    }
    HandOut(f);
    if (m_roles == nullptr) return;
    if (((f.kind == Finding::Kind::kContinuityError || f.kind == Finding::Kind::kPesLoss) && f.lost > 0 &&
         IsPictureOrSound(m_roles, f.pid)) ||
        (f.kind == Finding::Kind::kSyncError && !f.atEnd))
        DamageEvent(f);
    if (f.kind == Finding::Kind::kTot && m_anchored) ReleaseHeldDamage();
}

void Timeline::AnchorTot(const Finding& f) {
    // The first TOT fixes the offset between the PCR and the wall clock; a
    // later one only when it disagrees by more than 2 s (a TOT carries
    // whole seconds and is sent anywhere within its second), or after a
    // clock reset. A TOT placed at a gap's end (elapsed given) may have
    // been sent before the gap, and fixes nothing.
    if (!f.hasElapsed || !f.hasTime) return;
    const int64_t tot = f.time.Seconds() * 1000, now = BroadcastMs(m_anchorMs, 0, f.elapsed);
    if (!m_anchored || tot - now > 2000 || now - tot > 2000) Anchor(BroadcastMs(tot, f.elapsed, 0), f.elapsed);
}

void Timeline::AnchorEarlyTot(const Finding& f) {
    // A TOT that came before the PCR gave a rate (before the PMT named the
    // PCR_PID, or between the first two PCRs) fixes the offset once the
    // clock runs, worked back to its packet at the transport rate; a gap or
    // a clock reset in between makes that guess worthless.
    if (f.kind == Finding::Kind::kTot && f.hasTime && !f.hasElapsed && m_anchors.empty()) {
        m_earlyTot = true;
        m_earlyTotOffset = f.timedAt;
        m_earlyTotMs = f.time.Seconds() * 1000;
    } else if (f.hasElapsed && m_earlyTot) {
        int64_t ticks = 0;
        if (!m_anchored && m_anchors.empty() && m_pcr.Elapsed(m_earlyTotOffset, ticks))
            Anchor(BroadcastMs(m_earlyTotMs, ticks, 0), ticks);
        m_earlyTot = false;
    }
}

void Timeline::Anchor(int64_t ms, int64_t elapsed) {
    // The first offset after a new time base holds back to where it began;
    // broadcast time it skipped beyond a TOT's precision is missing there.
    const bool rebased = !m_anchored && !m_anchors.empty();
    const int64_t from = rebased ? m_baseTicks : m_anchors.empty() ? 0 : std::max(elapsed, m_anchors.back().fromTicks);
    if (rebased && ms - m_anchors.back().ms > 2000 && m_jumps.size() < 4096)
        m_jumps.emplace_back(BroadcastMs(m_anchors.back().ms, 0, m_baseTicks), BroadcastMs(ms, 0, m_baseTicks));
    m_anchorMs = ms;
    m_anchored = true;
    // A hostile stream can reset its clock at every PCR: past a bound the
    // last offset is moved instead of one added.
    if (!m_anchors.empty() && (m_anchors.back().fromTicks == from || m_anchors.size() >= 4096))
        m_anchors.back() = AnchorPoint{std::max(from, m_anchors.back().fromTicks), ms};
    else
        m_anchors.push_back(AnchorPoint{from, ms});
}

void Timeline::FlushPending(bool before) {
    while (!m_pending.empty()) {
        Pending e = std::move(m_pending.front());
        m_pending.pop_front();
        Deliver(e.finding, before, e.transportError);
    }
}

void Timeline::HandOut(const Finding& f) {
    for (Output* o : m_outputs) o->On(f);
}

void Timeline::OnClockPacket(const uint8_t* p, int64_t offset) {
    const PcrClock::Step step = m_pcr.OnPacket(p, offset);
    if (step.kind == PcrClock::Step::Kind::kNone) return;
    if (m_indicators != nullptr) m_indicators->OnPcr(step, m_clockPid);
    const bool on = step.kind == PcrClock::Step::Kind::kFirst || step.kind == PcrClock::Step::Kind::kNormal;
    if (m_roles != nullptr) {
        StampRanges(true);
        // Across a gap or a new time base bytes tell nothing of time: the
        // ranges end before it.
        CloseRanges(!on, step.toTicks);
    }
    if (!on) {
        OnBreak(step);
        return;
    }
    // Findings since the PCR before are timed as they would have been as
    // they came.
    FlushPending(true);
    if (m_damage.OverBy(step.toTicks)) {
        Finding closed;
        if (m_damage.Take(closed)) EmitDamage(closed);
    }
}

void Timeline::OnBreak(const PcrClock::Step& step) {
    // The findings since the last PCR before a gap or a clock reset belong
    // to it and are placed at its end, so that one cut gives one damaged
    // range.
    m_earlyTot = false;
    Finding g;
    g.kind = Finding::Kind::kGap;
    g.offset = g.timedAt = step.offset;
    g.hasTime = m_clock.LastTime(g.time);
    g.hasElapsed = g.hasToElapsed = true;
    g.elapsed = step.fromTicks;
    g.toElapsed = step.toTicks;
    g.hasAt = m_anchored;
    g.at = AtOf(step.fromTicks);
    if (step.kind == PcrClock::Step::Kind::kGap) {
        g.gapTicks = step.gapTicks;
        m_gaps.emplace_back(step.toTicks - step.gapTicks, step.toTicks);
        g.hasToAt = m_anchored;
        g.toAt = AtOf(step.toTicks);
        ++m_gapCount;
    } else {
        // A new time base: the broadcast time is unknown until the next
        // TOT fixes it again.
        g.reset = step.kind == PcrClock::Step::Kind::kReset;
        g.declared = !g.reset;
        if (g.reset) ++m_gapCount;
        else ++m_declaredResets;
        m_anchored = false;
        m_baseTicks = step.toTicks;
    }
    HandOut(g);
    for (auto& e : m_pending) {
        e.finding.hasElapsed = true;
        e.finding.elapsed = step.toTicks;
    }
    FlushPending(false);
}

int Timeline::SetClockPid(int pid, int64_t here) {
    // Another programme's clock is another time base.
    if (pid != m_clockPid && m_clockPid >= 0) m_pcr.Declare();
    if (pid >= 0 && m_seekingOrigin) StartFromKeptPcr(pid, here);
    return m_clockPid = pid;
}

void Timeline::KeepFirstPcrs(const uint8_t* p, int64_t offset, int stride, int count) {
    for (; count > 0; --count, p += stride, offset += stride) {
        if (AdaptationField(p) == 0) continue;
        const int pid = Pid(p);
        auto kept = std::find_if(m_keptPcrs.begin(), m_keptPcrs.end(), [pid](const KeptPcr& k) { return k.pid == pid; });
        if (kept != m_keptPcrs.end()) {
            if (Discontinuity(p)) kept->declared = true;
            continue;
        }
        int64_t pcr = 0;
        if (!Pcr(p, pcr)) continue;
        m_keptPcrs.push_back(KeptPcr{pid, pcr, offset, false});
        m_holding = true;
        if (m_keptPcrs.size() == kMaxKeptPcrs) {
            m_seekingOrigin = false;
            return;
        }
    }
}

void Timeline::StartFromKeptPcr(int pid, int64_t here) {
    // Kept PCRs lie in the stretch being walked, perhaps after this packet:
    // one still ahead is read where it lies.
    for (const KeptPcr& k : m_keptPcrs) {
        // Across a declared new time base the first PCR says nothing of
        // the time since: the clock starts at the next PCR, as without one.
        if (k.pid == pid && k.offset < here && !k.declared) m_pcr.Begin(k.pcr, k.offset);
    }
    m_keptPcrs.clear();
    m_keptPcrs.shrink_to_fit();
    m_seekingOrigin = m_holding = false;
    // Without an origin the findings held go out untimed, as they would have.
    if (!m_pcr.Started()) FlushPending(false);
}

void Timeline::DamageEvent(const Finding& e) {
    Finding closed;
    if (m_damage.Add(e, closed)) EmitDamage(closed);
}

void Timeline::EmitDamage(Finding& range) {
    // A range that closed before the first TOT is written at that TOT,
    // placed by working back from it through the PCR.
    if (range.hasElapsed && !m_anchored) {
        m_heldDamage.push_back(std::move(range));
        return;
    }
    Place(range);
    HandOut(range);
}

void Timeline::ReleaseHeldDamage() {
    std::vector<Finding> held;
    held.swap(m_heldDamage);
    for (auto& r : held) {
        Place(r);
        HandOut(r);
    }
}

void Timeline::Place(Finding& range) const {
    if (!m_anchored) return;
    if (range.hasKnownElapsed && !range.hasKnownAt) {
        range.hasKnownAt = true;
        range.knownAt = AtOf(range.knownElapsed);
    }
    if (range.hasElapsed && !range.hasAt) {
        range.hasAt = true;
        range.at = AtOf(range.elapsed);
    }
    if (range.hasToElapsed && !range.hasToAt) {
        range.hasToAt = true;
        range.toAt = AtOf(range.toElapsed);
    }
}

void Timeline::RangeFar(PacketRanges& ranges, int64_t offset, int pid, bool atStart) {
    // Far from the range's last packet: time both, and let the merge rule
    // decide.
    StampRange(ranges, false);
    Finding t;
    Time(t, offset, false);
    Finding closed;
    if (ranges.Add(t, pid, atStart, closed)) EmitRange(closed);
}

void Timeline::StampRange(PacketRanges& ranges, bool before) {
    // A last packet not yet stamped lies after the last PCR (with before,
    // between the last two), and before any TOT being taken.
    if (!ranges.Unstamped()) return;
    Finding t;
    Time(t, ranges.LastOffset(), before);
    ranges.Stamp(t);
}

void Timeline::StampRanges(bool before) {
    StampRange(m_scrambledRanges, before);
    StampRange(m_errorRanges, before);
}

void Timeline::CloseRanges(bool all, int64_t now) {
    for (PacketRanges* r : {&m_scrambledRanges, &m_errorRanges}) {
        if (!r->Open() || !(all || r->OverBy(now))) continue;
        Finding closed;
        r->Take(closed);
        EmitRange(closed);
    }
}

void Timeline::EmitRange(Finding& range) {
    for (auto& p : range.pidPackets) p.av = IsPictureOrSound(m_roles, p.pid);
    // Placed and held like a damaged range.
    EmitDamage(range);
}

void Timeline::Finish() {
    FlushPending(false);
    Finding closed;
    if (m_damage.Take(closed)) EmitDamage(closed);
    if (m_roles != nullptr) {
        StampRanges(false);
        CloseRanges(true);
    }
    std::vector<Finding> held;
    held.swap(m_heldDamage);
    for (auto& r : held) HandOut(r);
}

}  // namespace tsvigil
