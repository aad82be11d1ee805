// SPDX-License-Identifier: BSD-2-Clause
#include "check/Indicators.h"

#include <algorithm>
#include <tuple>
#include <utility>

#include "check/CheckStats.h"
#include "check/PacketAccounting.h"
#include "check/PidRoles.h"
#include "check/Timeline.h"
#include "si/PAT.h"
#include "si/PMT.h"

namespace tsvigil {

namespace {

constexpr int64_t kMs = PcrClock::kTicksPerMs;
// ETSI TR 101 290 5.2.1: the PAT and each PMT at least every 0.5 s, each
// video and audio PID at least every 5 s (a user-set period the guideline
// leaves open; 5 s spares sparse audio). 5.2.2: a PCR at least every
// 100 ms, and no step outside 0 to 100 ms without discontinuity_indicator.
constexpr int64_t kSectionLimit = 500 * kMs;
constexpr int64_t kPidLimit = 5000 * kMs;
constexpr int64_t kPcrLimit = 100 * kMs;
// Occurrences of one indicator on one PID this close merge.
constexpr int64_t kMergeTicks = 1000 * kMs;
constexpr int64_t kSampleTicks = 100 * kMs;

struct IndicatorInfo {
    const char* text;
    int priority;
};
constexpr IndicatorInfo kIndicatorInfo[] = {
    {"PAT_error", 1},
    {"PMT_error", 1},
    {"PID_error", 1},
    {"CRC_error", 2},
    {"PCR_repetition_error", 2},
    {"PCR_discontinuity_indicator_error", 2},
    {"PTS_error", 2},
};

int Key(IndicatorName name, int pid) { return static_cast<int>(name) * kPidCount + pid; }

}  // namespace

const char* IndicatorText(IndicatorName name) { return kIndicatorInfo[static_cast<size_t>(name)].text; }
int IndicatorPriority(IndicatorName name) { return kIndicatorInfo[static_cast<size_t>(name)].priority; }

Indicators::Indicators(const std::vector<Output*>& outputs, const Timeline& timeline, const PidRoles& roles,
                       TableDispatcher& tables, OffsetOf offsetOf)
    : m_outputs(outputs), m_timeline(timeline), m_roles(roles), m_tables(tables), m_offsetOf(std::move(offsetOf)) {
    m_pat.pid = PAT::kPid;
    m_psi[PAT::kPid] = 1;
    m_tables.Add(PAT::kPid, this);
}

Indicators::~Indicators() = default;

Indicators::Moment Indicators::At(int64_t offset) const {
    Moment m;
    m.offset = offset;
    m.timed = m_timeline.ElapsedAt(offset, m.ticks);
    return m;
}

void Indicators::Occur(IndicatorName name, int pid, const Moment& from, const Moment& to, uint64_t count) {
    const Occurrence o{name, pid, count, from, to};
    auto open = m_open.find(Key(name, pid));
    if (open == m_open.end()) {
        m_open.emplace(Key(name, pid), o);
        return;
    }
    Occurrence& held = open->second;
    const bool near = from.timed && held.to.timed ? from.ticks - held.to.ticks <= kMergeTicks
                                                  : !from.timed && !held.to.timed;
    if (near || m_closed.size() >= kMaxOccurrences) {
        held.count += count;
        if (!to.timed || !held.to.timed || to.ticks >= held.to.ticks) held.to = to;
        return;
    }
    m_closed.push_back(held);
    held = o;
}

void Indicators::Arrive(IndicatorName name, int64_t limit, Watch& w, const Moment& now) {
    if (w.armed) Overdue(name, limit, w, now);
    w.armed = true;
    w.last = now;
    if (!now.timed) m_untimedArmed = true;
}

void Indicators::Overdue(IndicatorName name, int64_t limit, Watch& w, const Moment& now) {
    if (w.armed && w.last.timed && now.timed && now.ticks - w.last.ticks > limit) Occur(name, w.pid, w.last, now);
}

int Indicators::OnSection(const SectionView& section) {
    const Moment now = At(section.packet ? m_offsetOf(section.packet) : 0);
    const int tableId = section.length > 0 ? section.data[0] : -1;
    if (section.pid == PAT::kPid) {
        // ISO/IEC 13818-1 2.4.4.3: PID 0 carries the PAT alone.
        if (tableId != 0x00) Occur(IndicatorName::kPatError, PAT::kPid, now, now);
        else Arrive(IndicatorName::kPatError, kSectionLimit, m_pat, now);
        return 0;
    }
    if (tableId != 0x02) return 0;
    auto w = std::lower_bound(m_pmts.begin(), m_pmts.end(), section.pid,
                              [](const Watch& x, int pid) { return x.pid < pid; });
    if (w != m_pmts.end() && w->pid == section.pid) Arrive(IndicatorName::kPmtError, kSectionLimit, *w, now);
    return 0;
}

void Indicators::OnRoles(int64_t here) {
    const Moment now = At(here);
    // A PMT PID counts from when the PAT names it: one that never comes is
    // overdue at the end. One the PAT drops is done with, once what it owed
    // is counted.
    const std::vector<int> pmtPids = m_roles.PmtPids();
    std::vector<Watch> pmts;
    for (const int pid : pmtPids) {
        if (pmts.size() >= static_cast<size_t>(PidRoles::kMaxPmtPids)) break;
        if (pid == PAT::kPid) continue;
        auto w = std::find_if(m_pmts.begin(), m_pmts.end(), [pid](const Watch& x) { return x.pid == pid; });
        if (w != m_pmts.end()) {
            pmts.push_back(*w);
            continue;
        }
        Watch n;
        n.pid = pid;
        Arrive(IndicatorName::kPmtError, kSectionLimit, n, now);
        pmts.push_back(n);
        m_psi[static_cast<size_t>(pid)] = 1;
        m_tables.Add(pid, this);
    }
    for (Watch& old : m_pmts) {
        if (std::binary_search(pmtPids.begin(), pmtPids.end(), old.pid)) continue;
        Overdue(IndicatorName::kPmtError, kSectionLimit, old, now);
        m_psi[static_cast<size_t>(old.pid)] = 0;
        m_tables.Remove(old.pid, this);
    }
    m_pmts.swap(pmts);

    // Video and audio count from when the PMT names them.
    const std::vector<int> avPids = m_roles.NamedPictureAndSoundStreams();
    std::vector<Watch> streams;
    for (const int pid : avPids) {
        auto w = std::find_if(m_streams.begin(), m_streams.end(), [pid](const Watch& x) { return x.pid == pid; });
        if (w != m_streams.end()) {
            streams.push_back(*w);
            continue;
        }
        Watch n;
        n.pid = pid;
        n.packets = m_accounting ? m_accounting->Packets(pid) : 0;
        Arrive(IndicatorName::kPidError, kPidLimit, n, now);
        streams.push_back(n);
    }
    for (Watch& old : m_streams) {
        if (!std::binary_search(avPids.begin(), avPids.end(), old.pid))
            Overdue(IndicatorName::kPidError, kPidLimit, old, now);
    }
    m_streams.swap(streams);
}

void Indicators::OnCrcErrors(int pid, int64_t offset, int failed) {
    const Moment now = At(offset);
    Occur(IndicatorName::kCrcError, pid, now, now, static_cast<uint64_t>(failed));
}

void Indicators::OnScrambledPsi(int pid, int64_t offset) {
    const Moment now = At(offset);
    Occur(pid == PAT::kPid ? IndicatorName::kPatError : IndicatorName::kPmtError, pid, now, now);
}

void Indicators::TimeArmed(const Moment& now) {
    m_untimedArmed = false;
    if (m_pat.armed && !m_pat.last.timed) m_pat.last = now;
    for (auto* list : {&m_pmts, &m_streams}) {
        for (Watch& w : *list) {
            if (w.armed && !w.last.timed) w.last = now;
        }
    }
}

void Indicators::ForEachWatch(const Moment& now, bool overdue) {
    // Checks every watch against now; without overdue, restarts each there.
    const auto each = [&](IndicatorName name, int64_t limit, Watch& w) {
        if (overdue) Overdue(name, limit, w, now);
        else if (w.armed) w.last = now;
    };
    each(IndicatorName::kPatError, kSectionLimit, m_pat);
    for (Watch& w : m_pmts) each(IndicatorName::kPmtError, kSectionLimit, w);
    for (Watch& w : m_streams) each(IndicatorName::kPidError, kPidLimit, w);
}

void Indicators::Restart(const PcrClock::Step& step) {
    // What was overdue before the break counts up to its start; then every
    // watch counts from its end, as a recording that begins there would.
    Moment start = m_lastPcr;
    start.ticks = step.fromTicks;
    ForEachWatch(start, true);
    m_sampled = false;
    Moment end;
    end.timed = true;
    end.ticks = step.toTicks;
    end.offset = step.offset;
    ForEachWatch(end, false);
}

void Indicators::OnPcr(const PcrClock::Step& step, int pid) {
    using Kind = PcrClock::Step::Kind;
    m_clockSeen = true;
    if (step.kind == Kind::kFirst) {
        m_lastPcr = Moment{false, 0, step.offset};
        return;
    }
    const Moment now{true, step.toTicks, step.offset};
    if (step.kind != Kind::kNormal) {
        if (m_everTimed) Restart(step);
        m_lastPcr = now;
        return;
    }
    m_everTimed = true;
    if (m_untimedArmed) TimeArmed(now);
    // A step from a PCR read ahead (before the PMT named the PCR_PID) spans
    // PCRs that were not read: it says nothing of their spacing.
    if (step.toTicks - step.fromTicks > kPcrLimit && !step.resumed) {
        const Moment from{true, step.fromTicks, m_lastPcr.offset};
        Occur(IndicatorName::kPcrRepetitionError, pid, from, now);
        Occur(IndicatorName::kPcrDiscontinuityIndicatorError, pid, from, now);
    }
    m_lastPcr = now;
    // PID_error: a video or audio PID with packets since the last sample
    // arrived; the per-PID counts are sampled here, not per packet, and at
    // most every 100 ms of PCR time (a stream may carry a PCR in every
    // packet, and a PMT may name thousands of PIDs).
    if (m_accounting == nullptr || (m_sampled && now.ticks - m_sampledTicks < kSampleTicks)) return;
    m_sampled = true;
    m_sampledTicks = now.ticks;
    for (Watch& w : m_streams) {
        const uint64_t packets = m_accounting->Packets(w.pid);
        if (packets == w.packets) continue;
        w.packets = packets;
        Arrive(IndicatorName::kPidError, kPidLimit, w, now);
    }
}

void Indicators::Finish(int64_t lastPacket, CheckStats& stats) {
    const Moment end = At(lastPacket);
    ForEachWatch(end, true);
    for (auto& o : m_open) m_closed.push_back(o.second);
    m_open.clear();
    // By place, then indicator and PID (std::sort: a stable sort's buffer
    // would come from operator new without a matching delete).
    std::sort(m_closed.begin(), m_closed.end(), [](const Occurrence& a, const Occurrence& b) {
        return std::make_tuple(a.from.offset, a.name, a.pid, a.to.offset) <
               std::make_tuple(b.from.offset, b.name, b.pid, b.to.offset);
    });
    stats.indicatorsFollowed = true;
    stats.indicatorsTimed = m_everTimed;
    stats.indicatorsUntimed = m_everTimed ? "" : m_clockSeen ? "fewer than two PCRs on the PCR_PID" : "no PCR";
    for (const Occurrence& o : m_closed) {
        Finding f;
        f.kind = Finding::Kind::kIndicator;
        f.indicator = IndicatorText(o.name);
        f.priority = IndicatorPriority(o.name);
        f.pid = o.pid;
        f.count = static_cast<int64_t>(o.count);
        f.offset = f.timedAt = o.from.offset;
        f.toOffset = o.to.offset;
        f.hasElapsed = o.from.timed;
        f.elapsed = o.from.ticks;
        f.hasToElapsed = o.to.timed;
        f.toElapsed = o.to.ticks;
        f.hasAt = f.hasElapsed && m_timeline.PlaceTicks(f.elapsed, f.at);
        f.hasToAt = f.hasToElapsed && m_timeline.PlaceTicks(f.toElapsed, f.toAt);
        auto c = std::find_if(stats.indicatorCounts.begin(), stats.indicatorCounts.end(),
                              [&](const IndicatorCount& x) { return x.priority == f.priority && x.pid == f.pid; });
        if (c == stats.indicatorCounts.end()) stats.indicatorCounts.push_back(IndicatorCount{f.priority, f.pid, o.count});
        else c->count += o.count;
        for (Output* out : m_outputs) out->On(f);
    }
    m_closed.clear();
}

}  // namespace tsvigil
