// SPDX-License-Identifier: BSD-2-Clause
#include "check/ProgrammeCoverage.h"

#include <algorithm>

#include "check/BroadcastClock.h"
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
                                                     bool whole, uint64_t& incomplete) const {
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
