// SPDX-License-Identifier: BSD-2-Clause
#include "check/Check.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <iterator>

#include "base/TSPacket.h"
#include "check/Verdict.h"
#include "stream/StreamSource.h"
#include "text/AdditionalSymbols.h"

namespace {

// How often the progress tick runs, in packets.
constexpr int kTickPackets = 1 << 15;
// Findings held for the next PCR at most: more, or further from the last
// PCR, and they are timed by extrapolation.
constexpr size_t kMaxPending = 4096;
constexpr int64_t kMaxPendingBytes = 8 << 20;

}  // namespace

CCheck::CCheck(CStreamSource& source, std::vector<COutput*> outputs, const char* file, uint64_t tolerate,
               bool whole)
    : m_outputs(std::move(outputs)),
      m_source(source),
      m_nTolerate(tolerate),
      m_bWhole(whole),
      m_clock([this] { OnTot(); }),
      m_events([this](int serviceId, const CEITEvent& event) { OnPresentEvent(serviceId, event); }) {
    m_framer.m_pStream = &source;
    m_stats.file = file;
    // The dispatcher asks about a repeated counter before the packet loop
    // has taken in the packet: the loop's record is still of the one before.
    m_tables.SetCopyTest([this](const uint8_t* p, int pid) { return SameAsLast(p, pid); });
    m_tables.Add(CTOT::kPid, &m_clock);
    m_tables.Add(CEIT::kPid, &m_events);
    // The PSI and the SDT are followed only for an output that shows roles
    // or names: unfollowed, they cost nothing per packet.
    if (std::any_of(m_outputs.begin(), m_outputs.end(), [](const COutput* o) { return o->WantsRoles(); })) {
        m_roles = std::make_unique<CPidRoles>();
        m_bSeekingOrigin = true;
        m_roles->Attach(m_tables);
        m_stats.roles = m_roles.get();
        m_events.FollowProgrammes([this](int serviceId, const CEITEvent& event) { OnProgramme(serviceId, event); });
    }
}

void CCheck::Emit(CFinding& f, bool transportError) {
    // Counts have no place of their own: they are timed where they are
    // handed out, at a TOT's packet or at the end.
    f.timedAt = f.offset >= 0 ? f.offset : m_bEnded ? m_nLastPacket : m_framer.PacketOffset(m_pDispatched);
    // Findings after a PCR of a PID that may turn out to be the PCR_PID
    // wait for the PMT, which tells where elapsed starts.
    if (!m_pcr.Started() && !m_bHolding) {
        Deliver(f, false, transportError);
        return;
    }
    m_pending.push_back(CPending{f, transportError});
    // A clock PID that stops carrying PCRs must not hold findings back for
    // long: past this they are timed by extrapolation.
    if (m_pending.size() > kMaxPending || f.timedAt - m_pcr.LastPcrOffset() > kMaxPendingBytes) FlushPending(false);
}

void CCheck::Deliver(CFinding& f, bool before, bool transportError) {
    if (!f.hasElapsed) {
        f.hasElapsed = before ? m_pcr.ElapsedBefore(f.timedAt, f.elapsed) : m_pcr.Elapsed(f.timedAt, f.elapsed);
        // The first TOT fixes the offset between the PCR and the wall clock;
        // a later one only when it disagrees by more than 2 s (a TOT carries
        // whole seconds and is sent anywhere within its second), or after a
        // clock reset. A TOT placed at a gap's end (elapsed given) may have
        // been sent before the gap, and fixes nothing.
        if (f.hasElapsed && f.kind == CFinding::kTot && f.hasTime) {
            const int64_t tot = f.time.Seconds() * 1000, ms = f.elapsed / CPcrClock::kTicksPerMs;
            if (!m_bAnchored || tot - (m_nAnchorMs + ms) > 2000 || (m_nAnchorMs + ms) - tot > 2000)
                Anchor(tot - ms, f.elapsed);
        }
    }
    // A TOT that came before the PCR gave a rate (before the PMT named the
    // PCR_PID, or between the first two PCRs) fixes the offset once the
    // clock runs, worked back to its packet at the transport rate; a gap or
    // a clock reset in between makes that guess worthless.
    if (f.kind == CFinding::kTot && f.hasTime && !f.hasElapsed && m_anchors.empty()) {
        m_bEarlyTot = true;
        m_nEarlyTotOffset = f.timedAt;
        m_nEarlyTotMs = f.time.Seconds() * 1000;
    } else if (f.hasElapsed && m_bEarlyTot) {
        int64_t ticks = 0;
        if (!m_bAnchored && m_anchors.empty() && m_pcr.Elapsed(m_nEarlyTotOffset, ticks))
            Anchor(m_nEarlyTotMs - ticks / CPcrClock::kTicksPerMs, ticks);
        m_bEarlyTot = false;
    }
    if (f.hasElapsed) {
        f.hasAt = m_bAnchored;
        f.at = m_nAnchorMs + f.elapsed / CPcrClock::kTicksPerMs;
    }
    if (!f.hasElapsed && !m_pcr.Started() && f.hasTime) {
        // Without a PCR the broadcast time is that of the last TOT.
        f.hasAt = true;
        f.at = f.time.Seconds() * 1000;
    }
    if (transportError) {
        CFinding closed;
        if (m_damage.AddTransportError(f, closed)) EmitDamage(closed);
        return;
    }
    HandOut(f);
    if (!m_roles) return;
    if ((f.kind == CFinding::kContinuityError && f.lost > 0 && IsPictureOrSound(m_roles.get(), f.pid)) ||
        (f.kind == CFinding::kSyncError && !f.atEnd))
        DamageEvent(f);
    if (f.kind == CFinding::kTot && m_bAnchored) ReleaseHeldDamage();
}

void CCheck::HandOut(const CFinding& f) {
    for (COutput* o : m_outputs) o->On(f);
}

void CCheck::DamageEvent(const CFinding& e) {
    CFinding closed;
    if (m_damage.Add(e, closed)) EmitDamage(closed);
}

int64_t CCheck::AtOf(int64_t ticks) const {
    auto after = std::upper_bound(m_anchors.begin(), m_anchors.end(), ticks,
                                  [](int64_t t, const CAnchor& a) { return t < a.fromTicks; });
    const int64_t ms = m_anchors.empty() ? m_nAnchorMs : after == m_anchors.begin() ? after->ms : std::prev(after)->ms;
    return ms + ticks / CPcrClock::kTicksPerMs;
}

void CCheck::Anchor(int64_t ms, int64_t elapsed) {
    // The first offset after a new time base holds back to where it began;
    // broadcast time it skipped beyond a TOT's precision is missing there.
    const bool rebased = !m_bAnchored && !m_anchors.empty();
    const int64_t from = rebased ? m_nBaseTicks : m_anchors.empty() ? 0 : std::max(elapsed, m_anchors.back().fromTicks);
    if (rebased && ms - m_anchors.back().ms > 2000 && m_jumps.size() < 4096) {
        const int64_t at = m_nBaseTicks / CPcrClock::kTicksPerMs;
        m_jumps.emplace_back(m_anchors.back().ms + at, ms + at);
    }
    m_nAnchorMs = ms;
    m_bAnchored = true;
    // A hostile stream can reset its clock at every PCR: past a bound the
    // last offset is moved instead of one added.
    if (!m_anchors.empty() && (m_anchors.back().fromTicks == from || m_anchors.size() >= 4096))
        m_anchors.back() = CAnchor{std::max(from, m_anchors.back().fromTicks), ms};
    else
        m_anchors.push_back(CAnchor{from, ms});
}

void CCheck::Place(CFinding& range) const {
    if (!m_bAnchored) return;
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

void CCheck::EmitDamage(CFinding& range) {
    // A range that closed before the first TOT is written at that TOT,
    // placed by working back from it through the PCR.
    if (range.hasElapsed && !m_bAnchored) {
        m_heldDamage.push_back(std::move(range));
        return;
    }
    Place(range);
    HandOut(range);
}

void CCheck::ReleaseHeldDamage() {
    std::vector<CFinding> held;
    held.swap(m_heldDamage);
    for (auto& r : held) {
        Place(r);
        HandOut(r);
    }
}

void CCheck::OnProgramme(int serviceId, const CEITEvent& event) {
    auto p = std::find_if(m_programmes.begin(), m_programmes.end(), [&](const CProgramme& q) {
        return q.serviceId == serviceId && q.eventId == event.event_id;
    });
    if (p == m_programmes.end()) {
        // A bound on what a hostile stream can make us keep.
        if (m_programmes.size() >= 4096) return;
        m_programmes.emplace_back();
        p = m_programmes.end() - 1;
    }
    p->serviceId = serviceId;
    p->eventId = event.event_id;
    p->hasStart = event.has_start_time != 0;
    p->start = event.start_time;
    p->duration = event.has_duration ? event.duration.Seconds() : -1;
    p->name = LabelAdditionalSymbols(event.GetEventName().c_str());
}

void CCheck::EmitProgrammes() {
    if (!m_roles) return;
    // The broadcast time the recording covers: from its first PCR to its
    // last packet, less its gaps; each end placed by the offset a TOT fixed
    // for its time base.
    const bool placed = m_stats.hasElapsed && m_bAnchored;
    const int64_t from = AtOf(0), to = AtOf(m_stats.elapsed);
    std::vector<CFinding> found;
    for (const auto& p : m_programmes) {
        if (!m_roles->ServiceHasPictureOrSound(p.serviceId)) continue;
        CFinding f;
        f.kind = CFinding::kProgramme;
        f.serviceId = p.serviceId;
        f.eventId = p.eventId;
        f.hasStart = p.hasStart;
        f.start = p.start;
        f.duration = p.duration;
        f.name = p.name;
        f.hasTime = m_clock.LastTime(f.time);
        if (p.hasStart && p.duration >= 0 && placed) {
            const int64_t start = p.start.Seconds() * 1000, end = start + p.duration * 1000;
            // Not overlapped at all: no line. A programme of no length is
            // covered when its instant lies in the recording.
            if (end < from || start > to || (end == start && (start < from || start > to))) continue;
            f.hasAt = f.hasToAt = true;
            f.at = std::max(start, from);
            f.toAt = std::min(end, to);
            f.missingStart = std::max<int64_t>(0, from - start);
            f.missingEnd = std::max<int64_t>(0, end - to);
            auto missing = [&f](int64_t from, int64_t to) {
                const int64_t a = std::max(f.at, from), b = std::min(f.toAt, to);
                if (b > a) f.missingInside += b - a;
            };
            // Each gap placed by the offset that held where it happened.
            for (const auto& g : m_gaps) missing(AtOf(g.first), AtOf(g.second));
            for (const auto& j : m_jumps) missing(j.first, j.second);
            f.coverage = end > start ? 1.0 - double(f.missingStart + f.missingEnd + f.missingInside) / double(end - start) : 1.0;
            if (f.coverage < 0) f.coverage = 0;
        } else if (p.hasStart && p.duration >= 0) {
            // Without a PCR and a TOT nothing can be placed.
            continue;
        }
        found.push_back(std::move(f));
    }
    // The service's recorded programme: the largest overlap.
    for (auto& f : found) {
        if (f.coverage < 0) continue;
        bool largest = true;
        for (const auto& g : found) {
            if (g.serviceId == f.serviceId && g.coverage >= 0 && &g != &f &&
                (g.toAt - g.at > f.toAt - f.at || (g.toAt - g.at == f.toAt - f.at && g.at < f.at)))
                largest = false;
        }
        f.recorded = largest;
        if (largest && m_bWhole && (f.missingStart > 2000 || f.missingEnd > 2000 || f.missingInside > 1000))
            ++m_stats.incompleteProgrammes;
    }
    std::sort(found.begin(), found.end(), [](const CFinding& a, const CFinding& b) {
        return a.serviceId != b.serviceId ? a.serviceId < b.serviceId : a.start.Seconds() < b.start.Seconds();
    });
    for (const auto& f : found) HandOut(f);
}

void CCheck::OnTransportError(const uint8_t* p, int pid) {
    if (m_nTransportErrorsSinceTot < INT32_MAX) ++m_nTransportErrorsSinceTot;
    ++m_stats.pids[static_cast<size_t>(pid)].transportErrors;
    if (!m_roles) return;
    RangePacket(m_errorRanges, p, pid, false);
    if (!IsPictureOrSound(m_roles.get(), pid)) return;
    CFinding f;
    f.hasTime = m_clock.LastTime(f.time);
    f.pid = pid;
    f.offset = m_framer.PacketOffset(p);
    Emit(f, true);
}

void CCheck::TimeAt(CFinding& t, int64_t offset, bool before) const {
    t.timedAt = offset;
    t.hasElapsed = before ? m_pcr.ElapsedBefore(offset, t.elapsed) : m_pcr.Elapsed(offset, t.elapsed);
    if (t.hasElapsed) {
        t.hasAt = m_bAnchored;
        t.at = AtOf(t.elapsed);
    } else if (!m_pcr.Started()) {
        // Without a PCR the broadcast time is that of the last TOT.
        CTimeValue tot;
        t.hasAt = m_clock.LastTime(tot);
        t.at = tot.Seconds() * 1000;
    }
}

void CCheck::RangeFar(CPacketRanges& ranges, const uint8_t* p, int pid, bool atStart) {
    const int64_t offset = m_framer.PacketOffset(p);
    // Far from the range's last packet: time both, and let the merge rule
    // decide.
    StampRange(ranges, false);
    CFinding t;
    TimeAt(t, offset, false);
    CFinding closed;
    if (ranges.Add(t, pid, atStart, closed)) EmitRange(closed);
}

void CCheck::StampRange(CPacketRanges& ranges, bool before) {
    // A last packet not yet stamped lies after the last PCR (with before,
    // between the last two), and before any TOT being taken.
    if (!ranges.Unstamped()) return;
    CFinding t;
    TimeAt(t, ranges.LastOffset(), before);
    ranges.Stamp(t);
}

void CCheck::StampRanges(bool before) {
    StampRange(m_scrambledRanges, before);
    StampRange(m_errorRanges, before);
}

void CCheck::CloseRanges(bool all, int64_t now) {
    for (CPacketRanges* r : {&m_scrambledRanges, &m_errorRanges}) {
        if (!r->Open() || !(all || r->OverBy(now))) continue;
        CFinding closed;
        r->Take(closed);
        EmitRange(closed);
    }
}

void CCheck::EmitRange(CFinding& range) {
    for (auto& p : range.pidPackets) p.av = IsPictureOrSound(m_roles.get(), p.pid);
    // Placed and held like a damaged range.
    EmitDamage(range);
}

void CCheck::FlushPending(bool before) {
    while (!m_pending.empty()) {
        CPending e = std::move(m_pending.front());
        m_pending.pop_front();
        Deliver(e.finding, before, e.transportError);
    }
}

void CCheck::OnClockPacket(const uint8_t* p) {
    const CPcrClock::CStep step = m_pcr.OnPacket(p, m_framer.PacketOffset(p));
    if (step.kind != CPcrClock::CStep::kNone && m_roles) {
        StampRanges(true);
        // Across a gap or a new time base bytes tell nothing of time: the
        // ranges end before it.
        const bool on = step.kind == CPcrClock::CStep::kFirst || step.kind == CPcrClock::CStep::kNormal;
        CloseRanges(!on, step.toTicks);
    }
    switch (step.kind) {
        case CPcrClock::CStep::kNone:
            return;
        case CPcrClock::CStep::kFirst:
        case CPcrClock::CStep::kNormal:
            // Findings since the PCR before are timed as they would have been
            // as they came.
            FlushPending(true);
            if (m_damage.OverBy(step.toTicks)) {
                CFinding closed;
                if (m_damage.Take(closed)) EmitDamage(closed);
            }
            return;
        default:
            break;
    }
    // A gap or a clock reset: the findings since the last PCR before it
    // belong to it and are placed at its end, so that one cut gives one
    // damaged range.
    m_bEarlyTot = false;
    CFinding g;
    g.kind = CFinding::kGap;
    g.offset = g.timedAt = step.offset;
    g.hasTime = m_clock.LastTime(g.time);
    g.hasElapsed = g.hasToElapsed = true;
    g.elapsed = step.fromTicks;
    g.toElapsed = step.toTicks;
    g.hasAt = m_bAnchored;
    g.at = AtOf(step.fromTicks);
    if (step.kind == CPcrClock::CStep::kGap) {
        g.gapTicks = step.gapTicks;
        m_gaps.emplace_back(step.toTicks - step.gapTicks, step.toTicks);
        g.hasToAt = m_bAnchored;
        g.toAt = AtOf(step.toTicks);
        ++m_stats.gaps;
    } else {
        // A new time base: the broadcast time is unknown until the next
        // TOT fixes it again.
        g.reset = step.kind == CPcrClock::CStep::kReset;
        g.declared = !g.reset;
        if (g.reset) ++m_stats.gaps;
        else ++m_stats.declaredResets;
        m_bAnchored = false;
        m_nBaseTicks = step.toTicks;
    }
    for (COutput* o : m_outputs) o->On(g);
    for (auto& e : m_pending) {
        e.finding.hasElapsed = true;
        e.finding.elapsed = step.toTicks;
    }
    FlushPending(false);
}

CFinding CCheck::Found(CFinding::Kind kind) {
    CFinding f;
    f.kind = kind;
    f.hasTime = m_clock.LastTime(f.time);
    return f;
}

void CCheck::EmitCounts() {
    if (m_bScrambledSinceTot) {
        for (int pid = 0; pid < kPidCount; ++pid) {
            int32_t& n = m_scrambledSinceTot[static_cast<size_t>(pid)];
            if (n == 0) continue;
            CFinding f = Found(CFinding::kScrambled);
            f.pid = pid;
            f.count = n;
            Emit(f);
            n = 0;
        }
        m_bScrambledSinceTot = false;
    }
    if (m_nTransportErrorsSinceTot != 0) {
        CFinding f = Found(CFinding::kTransportErrors);
        f.count = m_nTransportErrorsSinceTot;
        Emit(f);
        m_nTransportErrorsSinceTot = 0;
    }
}

void CCheck::OnTot() {
    // The counts belong to the block this TOT closes: they go out while the
    // previous TOT is still the last one.
    EmitCounts();
    if (m_roles) StampRanges(false);
    CFinding f;
    f.kind = CFinding::kTot;
    f.hasTime = m_clock.GetTime(f.time);
    f.offset = m_framer.PacketOffset(m_pDispatched);
    Emit(f);
}

void CCheck::OnPresentEvent(int serviceId, const CEITEvent& event) {
    CFinding f = Found(CFinding::kPresentEvent);
    f.serviceId = serviceId;
    f.eventId = event.event_id;
    f.hasStart = event.has_start_time != 0;
    f.start = event.start_time;
    f.duration = event.has_duration ? event.duration.Seconds() : -1;
    f.name = LabelAdditionalSymbols(event.GetEventName().c_str());
    f.offset = m_framer.PacketOffset(m_pDispatched);
    Emit(f);
}

bool CCheck::SameAsLast(const uint8_t* p, int pid) const {
    // The packet before on the PID, looked for among the packets still in
    // the read buffer, the nearest few only: a PID whose packets are
    // further apart is compared by the tail kept of its last packet.
    constexpr int64_t kNear = 256;
    const uint8_t* const first = m_framer.FirstHeld();
    const int stride = m_framer.m_nPacketSize;
    const int64_t held = first != nullptr && stride > 0 ? (p - first) / stride : 0;
    const uint8_t* before = nullptr;
    for (int64_t i = 1; i <= held && i <= kNear && before == nullptr; ++i) {
        const uint8_t* q = p - i * stride;
        if (Pid(q) == pid) before = q;
    }
    if (before == nullptr) return m_lastTails[pid] == PacketTail(p);
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

void CCheck::OnCounterBreak(const uint8_t* p, int pid, int last, const uint64_t* packetsOf) {
    CPidCounts& c = m_stats.pids[static_cast<size_t>(pid)];
    const int counter = Counter(p);
    // A packet whose adaptation field sets discontinuity_indicator starts a
    // new counter sequence (ISO/IEC 13818-1 2.4.3.5): no error, no loss.
    // Read only here, never for a packet whose counter follows on.
    if (Discontinuity(p)) {
        ++c.discontinuities;
        return;
    }
    CFinding f = Found(CFinding::kContinuityError);
    f.pid = pid;
    f.last = last;
    f.counter = counter;
    // With payload the counter should have moved on by one; without, it
    // should have stayed. A packet with payload that repeats the counter
    // and the bytes of the packet before is a duplicate, which loses
    // nothing (ISO/IEC 13818-1 2.4.3.3 allows one); a further copy is one
    // too many, though it loses nothing either. On other bytes the counter
    // went round: 15 packets were lost.
    const bool payload = HasPayload(p);
    if (payload && counter == last && SameAsLast(p, pid)) {
        uint64_t& copyAt = m_copyAt[static_cast<size_t>(pid)];
        const uint64_t packets = packetsOf[pid];
        f.duplicate = copyAt + 1 != packets;
        copyAt = packets;
        f.lost = 0;
    } else {
        f.lost = (counter - last - (payload ? 1 : 0)) & 0x0F;
    }
    ++c.continuityErrors;
    c.lost += static_cast<uint64_t>(f.lost);
    if (f.duplicate) ++c.duplicates;
    f.offset = m_framer.PacketOffset(p);
    Emit(f);
}

void CCheck::OnScrambled(const uint8_t* p, int pid, const uint64_t* packetsOf) {
    const uint64_t packets = packetsOf[pid];
    int32_t& since = m_scrambledSinceTot[static_cast<size_t>(pid)];
    // Counts saturate rather than overflow on an endless scrambled run.
    if (since < INT32_MAX) ++since;
    m_bScrambledSinceTot = true;
    CPidCounts& c = m_stats.pids[static_cast<size_t>(pid)];
    // Every packet of the PID so far scrambled: none was clear yet.
    if (c.scrambled + 1 == packets) ++c.scrambledAtStart;
    ++c.scrambled;
    if (m_roles) RangePacket(m_scrambledRanges, p, pid, c.scrambled == packets);
}

int CCheck::UpdateClockPid() {
    m_nRolesSeen = m_roles->Changes();
    const int pid = m_roles->ClockPid();
    // Another programme's clock is another time base.
    if (pid != m_nClockPid && m_nClockPid >= 0) m_pcr.Declare();
    if (pid >= 0 && m_bSeekingOrigin) StartFromKeptPcr(pid);
    return m_nClockPid = pid;
}

void CCheck::KeepFirstPcrs(const uint8_t* p, int stride, int count) {
    for (; count > 0; --count, p += stride) {
        if (AdaptationField(p) == 0) continue;
        const int pid = Pid(p);
        auto kept = std::find_if(m_keptPcrs.begin(), m_keptPcrs.end(), [pid](const CKeptPcr& k) { return k.pid == pid; });
        if (kept != m_keptPcrs.end()) {
            if (Discontinuity(p)) kept->declared = true;
            continue;
        }
        int64_t pcr = 0;
        if (!Pcr(p, pcr)) continue;
        m_keptPcrs.push_back(CKeptPcr{pid, pcr, m_framer.PacketOffset(p), false});
        m_bHolding = true;
        if (m_keptPcrs.size() == kMaxKeptPcrs) {
            m_bSeekingOrigin = false;
            return;
        }
    }
}

void CCheck::StartFromKeptPcr(int pid) {
    // Kept PCRs lie in the stretch being walked, perhaps after this packet:
    // one still ahead is read where it lies.
    const int64_t here = m_framer.PacketOffset(m_pDispatched);
    for (const CKeptPcr& k : m_keptPcrs) {
        // Across a declared new time base the first PCR says nothing of
        // the time since: the clock starts at the next PCR, as without one.
        if (k.pid == pid && k.offset < here && !k.declared) m_pcr.Begin(k.pcr, k.offset);
    }
    m_keptPcrs.clear();
    m_keptPcrs.shrink_to_fit();
    m_bSeekingOrigin = m_bHolding = false;
    // Without an origin the findings held go out untimed, as they would have.
    if (!m_pcr.Started()) FlushPending(false);
}

void CCheck::Run(const std::function<void()>& tick) {
    // Continuity state runs across lost sync, so packets lost there show up
    // as counter errors of their PIDs. On the stack, so that no store of the
    // loop can move it and its address stays in a register.
    int lastCounter[kPidCount];
    std::fill(std::begin(lastCounter), std::end(lastCounter), -1);
    // The tail of each PID's last packet, for a repeated counter whose
    // packet before is no longer in the read buffer: one 8-byte load and
    // store a packet, and nothing copied.
    uint64_t lastTail[kPidCount];
    std::fill(std::begin(lastTail), std::end(lastTail), 0);
    m_lastTails = lastTail;
    // Packets per PID, apart from the rarely touched error counts, on the
    // stack as lastCounter is: one increment at a scaled index per packet,
    // with no base address to keep in a register.
    uint64_t packetsOf[kPidCount];
    std::fill(std::begin(packetsOf), std::end(packetsOf), 0);
    CPidCounts* const countsOf = m_stats.pids.data();
    int announcedSize = 0;
    // The flags of a packet with nothing to tell: the size announced last,
    // no lost sync. Only other flags need a closer look.
    int steadyFlags = 0;
    int untilTick = kTickPackets;
    int clockPid = -1;  // none until the PAT and a PMT name one
    bool inside = true;  // lost sync before the last packet, not at the end
    auto syncLost = [&] {
        CFinding f = Found(CFinding::kSyncError);
        f.offset = m_framer.m_nLostOffset;
        ++m_stats.syncErrors;
        if (inside) ++m_stats.syncErrorsInside;
        f.atEnd = !inside;
        Emit(f);
    };

    // The packets come in stretches (one packet where the framer had to
    // look closer): the end, the flags and the progress are tested once per
    // stretch, and its packets are walked where they lie.
    int flags;
    while (!((flags = m_framer.FrameStretch()) & FRAME_END)) {
        const uint8_t* p = m_framer.m_packet;
        const int stride = m_framer.m_nPacketSize;
        int left = m_framer.m_nCount;
        if (m_bSeekingOrigin) KeepFirstPcrs(p, stride, left);
        untilTick -= left;
        if (untilTick <= 0) {
            untilTick += kTickPackets;
            if (tick) tick();
        }
        // The tables first: a TOT or an event completed by a packet comes
        // before what the packet itself shows.
        auto dispatch = [&] {
            const int pid = Pid(p);
            if (m_tables.Wants(pid)) {
                m_pDispatched = p;
                m_tables.Dispatch(p, pid);
                // A PAT or PMT may have named the clock PID anew.
                if (m_roles && m_roles->Changes() != m_nRolesSeen) clockPid = UpdateClockPid();
            }
            return pid;
        };
        int pid = dispatch();
        // Only the first packet of a stretch can have other flags than the
        // size announced last.
        if (flags != steadyFlags) {
            const int size = (flags & FRAME_SIZE_188) ? 188 : (flags & FRAME_SIZE_192) ? 192 : 204;
            if (size != announcedSize) {
                announcedSize = size;
                CFinding f = Found(CFinding::kPacketSize);
                f.count = size;
                f.offset = m_framer.PacketOffset(p);
                Emit(f);
            }
            if (flags & FRAME_SYNC_ERROR) syncLost();
            steadyFlags = flags & (FRAME_SIZE_188 | FRAME_SIZE_192 | FRAME_SIZE_204);
        }

        for (;;) {
            ++packetsOf[pid];
            // The header is read before this packet's stores: a store may
            // reach any byte, and after one the compiler loads it again.
            const int counter = Counter(p);
            const int last = lastCounter[pid];
            // A packet without payload repeats the counter of the one
            // before: the counter moves on by adaptation_field_control's
            // payload bit, modulo 16. Most packets pass on this one test.
            if (((counter - last - HasPayload(p)) & 0x0F) != 0 && last >= 0 && pid != kNullPid)
                OnCounterBreak(p, pid, last, packetsOf);
            if (Scrambled(p)) OnScrambled(p, pid, packetsOf);
            // The PCR is read only from the clock PID's packets with an
            // adaptation field.
            if (HasAdaptationField(p) && pid == clockPid) OnClockPacket(p);
            if (TransportError(p)) OnTransportError(p, pid);
            lastCounter[pid] = counter;
            lastTail[pid] = PacketTail(p);
            if (--left == 0) break;
            p += stride;
            pid = dispatch();
        }
        m_nLastPacket = m_framer.PacketOffset(p);
    }
    m_lastTails = nullptr;
    // Bytes skipped at the end of the input (a cut-off last packet,
    // trailing garbage, an input without any packet) are lost sync too.
    inside = false;
    m_bEnded = true;
    if (flags & FRAME_SYNC_ERROR) syncLost();
    // Counts gathered after the last TOT (or in a stream without any) close
    // the check; no TOT follows them.
    EmitCounts();
    FlushPending(false);
    CFinding closed;
    if (m_damage.Take(closed)) EmitDamage(closed);
    if (m_roles) {
        StampRanges(false);
        CloseRanges(true);
    }
    // Ranges still waiting for a TOT that never came go out unplaced.
    std::vector<CFinding> held;
    held.swap(m_heldDamage);
    for (auto& r : held) HandOut(r);
    // The recording ends at its last packet: bytes after it that are no
    // packet (a cut-off packet, padding) extend no broadcast.
    m_stats.hasElapsed = announcedSize != 0 && m_pcr.Elapsed(m_nLastPacket, m_stats.elapsed);
    EmitProgrammes();
    for (int pid = 0; pid < kPidCount; ++pid) {
        countsOf[pid].packets = packetsOf[pid];
        countsOf[pid].crcErrors = m_tables.CrcErrors(pid);
    }
    m_stats.bytes = m_framer.Offset();
    m_stats.bytesInRuns = m_framer.BytesInRuns();
    m_stats.packetSize = announcedSize;
    m_stats.tots = m_clock.TotCount();
    m_stats.firstTotValid = m_clock.FirstTime(m_stats.firstTot);
    m_stats.lastTotValid = m_clock.LastTime(m_stats.lastTot);
    m_stats.unreadable = m_source.IsReadError();
    m_stats.verdict = Judge(m_stats, m_nTolerate);
    for (COutput* o : m_outputs) o->Finish(m_stats);
}
