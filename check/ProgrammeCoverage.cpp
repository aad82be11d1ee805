// SPDX-License-Identifier: BSD-2-Clause
#include "check/ProgrammeCoverage.h"

#include <algorithm>
#include <cmath>
#include <iterator>

#include "check/BroadcastClock.h"
#include "check/CheckStats.h"
#include "check/PidRoles.h"
#include "check/Timeline.h"
#include "text/AdditionalSymbols.h"

namespace tsvigil {

void ProgrammeCoverage::OnProgramme(int serviceId, const EITEvent& event) {
    auto p = std::find_if(m_programmes.begin(), m_programmes.end(), [&](const Programme& q) {
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
    p->hasStart = event.has_start_time;
    p->start = event.start_time;
    p->duration = event.has_duration ? event.duration.Seconds() : -1;
    p->name = LabelAdditionalSymbols(event.GetEventName().c_str());
}

void ProgrammeCoverage::On(const Finding& f) {
    if (!f.hasAt) return;
    const int64_t to = f.hasToAt ? std::max(f.at, f.toAt) : f.at;
    switch (f.kind) {
        case Finding::Kind::kContinuityError:
        case Finding::Kind::kPesLoss:
            if (f.lost > 0) {
                // Whole seconds, rounded down also before 1970.
                const int64_t second = f.at >= 0 ? f.at / 1000 : -((999 - f.at) / 1000);
                auto it = m_lost.find({f.pid, second});
                // Past the bound a hostile clock could push us to, the loss
                // joins the latest second kept: the totals stay whole.
                if (it == m_lost.end() && m_lost.size() >= kMaxKept) it = std::prev(m_lost.end());
                if (it == m_lost.end()) it = m_lost.emplace(std::make_pair(f.pid, second), 0).first;
                it->second += uint64_t(f.lost);
            }
            break;
        case Finding::Kind::kScrambledRange:
        case Finding::Kind::kTransportErrorRange: {
            auto& kept = f.kind == Finding::Kind::kScrambledRange ? m_scrambled : m_errors;
            for (const auto& p : f.pidPackets) {
                if (!p.av) continue;
                const uint64_t afterClear = p.packets - std::min(p.atStart, p.packets);
                // Past the bound, a range stretches the last one kept.
                if (kept.size() >= kMaxKept) {
                    kept.back().to = std::max(kept.back().to, to);
                    kept.back().packets += p.packets;
                    kept.back().afterClear += afterClear;
                } else {
                    kept.push_back(TimedPackets{f.at, to, p.pid, p.packets, afterClear});
                }
            }
            break;
        }
        case Finding::Kind::kDamage:
            if (m_damage.size() >= kMaxKept) m_damage.back().to = std::max(m_damage.back().to, to);
            else m_damage.push_back(TimedDamage{f.at, to, f.pids});
            break;
        default:
            break;
    }
}

namespace {

// The share of a range's packets, placed from a to b (ms), that falls
// within the window from-to (end excluded): by the time it overlaps, as
// the packets of a range come at most a second apart.
uint64_t Within(int64_t a, int64_t b, uint64_t packets, int64_t from, int64_t to) {
    if (b <= a) return a >= from && a < to ? packets : 0;
    const int64_t overlap = std::min(b, to) - std::max(a, from);
    if (overlap <= 0) return 0;
    if (overlap >= b - a) return packets;
    return uint64_t(std::llround(double(packets) * double(overlap) / double(b - a)));
}

}  // namespace

void ProgrammeCoverage::Figures(Finding& f, int64_t from, int64_t to, const PidRoles& roles,
                                const std::vector<PidCounts>& pids) const {
    const std::vector<int> av = roles.PictureAndSoundPids(f.serviceId);
    auto ours = [&av](int pid) { return std::find(av.begin(), av.end(), pid) != av.end(); };
    for (const int pid : av) {
        // The seconds of the window: it starts and ends on whole seconds.
        const auto first = m_lost.lower_bound({pid, from >= 0 ? from / 1000 : -((999 - from) / 1000)});
        for (auto it = first; it != m_lost.end() && it->first.first == pid && it->first.second * 1000 < to; ++it)
            f.avLost += it->second;
    }
    for (const auto& r : m_errors) {
        if (ours(r.pid)) f.avErrors += Within(r.from, r.to, r.packets, from, to);
    }
    for (const auto& r : m_scrambled) {
        if (!ours(r.pid)) continue;
        // As the verdict counts them: a PID never clear has all its
        // scrambled packets counted, another those after its first clear one.
        const PidCounts& c = pids[static_cast<size_t>(r.pid)];
        f.avScrambled += Within(r.from, r.to, c.scrambled == c.packets ? r.packets : r.afterClear, from, to);
    }
    for (const auto& d : m_damage) {
        if (d.from < to && d.to >= from && std::any_of(d.pids.begin(), d.pids.end(), ours)) ++f.damageRanges;
    }
}

bool ProgrammeCoverage::Overlap(Finding& f, int64_t from, int64_t to, const Timeline& timeline) {
    const int64_t start = f.start.Seconds() * 1000, end = start + f.duration * 1000;
    // Not overlapped at all: no line. A programme of no length is covered
    // when its instant lies in the recording.
    if (end < from || start > to || (end == start && (start < from || start > to))) return false;
    f.hasAt = f.hasToAt = true;
    f.at = std::max(start, from);
    f.toAt = std::min(end, to);
    f.missingStart = std::max<int64_t>(0, from - start);
    f.missingEnd = std::max<int64_t>(0, end - to);
    auto missing = [&f](int64_t a, int64_t b) {
        a = std::max(f.at, a);
        b = std::min(f.toAt, b);
        if (b > a) f.missingInside += b - a;
    };
    // Each gap placed by the offset that held where it happened.
    for (const auto& g : timeline.Gaps()) missing(timeline.AtOf(g.first), timeline.AtOf(g.second));
    for (const auto& j : timeline.Jumps()) missing(j.first, j.second);
    f.coverage = end > start ? 1.0 - double(f.missingStart + f.missingEnd + f.missingInside) / double(end - start) : 1.0;
    if (f.coverage < 0) f.coverage = 0;
    return true;
}

std::vector<Finding> ProgrammeCoverage::Programmes(const Timeline& timeline, const PidRoles& roles,
                                                     const BroadcastClock& clock, bool hasElapsed, int64_t elapsed,
                                                     bool whole, uint64_t& incomplete,
                                                     const std::vector<PidCounts>& pids) const {
    // The broadcast time the recording covers: from its first PCR to its
    // last packet, less its gaps; each end placed by the offset a TOT fixed
    // for its time base.
    const bool placed = hasElapsed && timeline.Anchored();
    const int64_t from = timeline.AtOf(0), to = timeline.AtOf(elapsed);
    std::vector<Finding> found;
    for (const auto& p : m_programmes) {
        if (!roles.ServiceHasPictureOrSound(p.serviceId)) continue;
        Finding f;
        f.kind = Finding::Kind::kProgramme;
        f.serviceId = p.serviceId;
        f.eventId = p.eventId;
        f.hasStart = p.hasStart;
        f.start = p.start;
        f.duration = p.duration;
        f.name = p.name;
        f.hasTime = clock.LastTime(f.time);
        // Without a PCR and a TOT nothing can be placed.
        if (p.hasStart && p.duration >= 0 && !(placed && Overlap(f, from, to, timeline))) continue;
        if (f.coverage >= 0) {
            const int64_t start = p.start.Seconds() * 1000;
            Figures(f, start, start + p.duration * 1000, roles, pids);
        }
        found.push_back(std::move(f));
    }
    MarkRecorded(found, whole, incomplete);
    std::sort(found.begin(), found.end(), [](const Finding& a, const Finding& b) {
        return a.serviceId != b.serviceId ? a.serviceId < b.serviceId : a.start.Seconds() < b.start.Seconds();
    });
    return found;
}

void ProgrammeCoverage::MarkRecorded(std::vector<Finding>& found, bool whole, uint64_t& incomplete) {
    for (auto& f : found) {
        if (f.coverage < 0) continue;
        bool largest = true;
        for (const auto& g : found) {
            if (g.serviceId == f.serviceId && g.coverage >= 0 && &g != &f &&
                (g.toAt - g.at > f.toAt - f.at || (g.toAt - g.at == f.toAt - f.at && g.at < f.at)))
                largest = false;
        }
        f.recorded = largest;
        if (whole && Incomplete(f)) ++incomplete;
    }
}

}  // namespace tsvigil
