// SPDX-License-Identifier: BSD-2-Clause
#include "check/ProgrammeCoverage.h"

#include <algorithm>
#include <climits>
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

namespace {

// The broadcast time of the packet at offset within the range r, placed
// from r.at to to: by its bytes between the range's ends, as a recording
// runs at a steady rate between the PCRs that time its ranges (a gap
// closes a range).
int64_t AtWithin(const Finding& r, int64_t offset, int64_t to) {
    if (r.toOffset <= r.offset || offset <= r.offset) return r.at;
    if (offset >= r.toOffset) return to;
    const double share = double(offset - r.offset) / double(r.toOffset - r.offset);
    return r.at + int64_t(share * double(to - r.at));
}

}  // namespace

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
                // Each PID's packets where they came in the range.
                const int64_t from = AtWithin(f, p.offset, to), until = AtWithin(f, p.toOffset, to);
                if (kept.size() >= kMaxKept) {
                    kept.back().to = std::max(kept.back().to, until);
                    kept.back().packets += p.packets;
                    kept.back().afterClear += afterClear;
                } else {
                    kept.push_back(TimedPackets{from, until, p.pid, p.packets, afterClear});
                }
            }
            break;
        }
        case Finding::Kind::kSyncError:
            if (!f.atEnd && m_sync.size() < kMaxKept) m_sync.push_back(f.at);
            break;
        case Finding::Kind::kIndicator:
            // Past the bound an occurrence is judged wherever it lies.
            if (m_indicators.size() < kMaxKept)
                m_indicators.push_back(TimedIndicator{std::min(f.at, to), to, f.pid, f.priority, uint64_t(f.count)});
            break;
        case Finding::Kind::kGap:
            // Past the bound a gap is judged wherever it lies.
            if (!f.declared && m_gaps.size() < kMaxKept) m_gaps.emplace_back(std::min(f.at, to), to);
            break;
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
                                                     const std::vector<PidCounts>& pids) {
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
    m_unplaced = !hasElapsed ? "no PCR" : !timeline.Anchored() ? "no TOT" : "no EIT";
    m_recorded.clear();
    for (const auto& f : found) {
        if (!f.recorded) continue;
        const int64_t start = f.start.Seconds() * 1000;
        m_recorded.push_back(Verdict::Window{f.serviceId, f.eventId, start, start + f.duration * 1000});
    }
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

void ProgrammeCoverage::Windows::Add(int64_t from, int64_t to) {
    spans.emplace_back(from, to);
    std::sort(spans.begin(), spans.end());
    std::vector<std::pair<int64_t, int64_t>> apart;
    for (const auto& s : spans) {
        if (!apart.empty() && s.first <= apart.back().second) apart.back().second = std::max(apart.back().second, s.second);
        else apart.push_back(s);
    }
    spans = std::move(apart);
}

bool ProgrammeCoverage::Windows::Holds(int64_t at) const {
    if (all) return true;
    for (const auto& s : spans) {
        if (at >= s.first && at < s.second) return true;
    }
    return false;
}

bool ProgrammeCoverage::Windows::Meets(int64_t from, int64_t to) const {
    if (all) return true;
    for (const auto& s : spans) {
        if (from < s.second && to >= s.first) return true;
    }
    return false;
}

ProgrammeCoverage::Outside ProgrammeCoverage::OutsideOf(int pid, const Windows& w) const {
    Outside o;
    if (w.all) return o;
    for (auto it = m_lost.lower_bound({pid, INT64_MIN}); it != m_lost.end() && it->first.first == pid; ++it) {
        if (!w.Holds(it->first.second * 1000)) o.lost += it->second;
    }
    // A range's packets outside: those not within any window, its share of
    // each by the time it overlaps.
    auto outside = [&w](const TimedPackets& r, uint64_t packets) {
        uint64_t inside = 0;
        for (const auto& s : w.spans) inside += Within(r.from, r.to, packets, s.first, s.second);
        return packets - std::min(inside, packets);
    };
    for (const auto& r : m_errors) {
        if (r.pid == pid) o.errors += outside(r, r.packets);
    }
    for (const auto& r : m_scrambled) {
        if (r.pid != pid) continue;
        o.scrambled += outside(r, r.packets);
        o.afterClear += outside(r, r.afterClear);
    }
    return o;
}

ProgrammeCoverage::Windows ProgrammeCoverage::WindowOf(int serviceId) const {
    Windows w;
    const auto it = std::find_if(m_recorded.begin(), m_recorded.end(),
                                 [serviceId](const Verdict::Window& r) { return r.serviceId == serviceId; });
    if (it == m_recorded.end()) w.all = true;
    else w.Add(it->from, it->to);
    return w;
}

namespace {

// Takes what lies outside from a figure judged, as far as it goes.
void Take(uint64_t& judged, uint64_t outside) { judged -= std::min(judged, outside); }

}  // namespace

bool ProgrammeCoverage::PidWindows(int pid, const PidRoles& roles, const std::vector<int>& judged,
                                   Windows& w) const {
    bool named = false;
    for (const int id : roles.ServiceIds(pid)) {
        if (std::find(judged.begin(), judged.end(), id) == judged.end()) continue;
        named = true;
        const Windows own = WindowOf(id);
        w.all = w.all || own.all;
        for (const auto& s : own.spans) w.Add(s.first, s.second);
    }
    return named;
}

void ProgrammeCoverage::JudgeWithin(Verdict& v, const CheckStats& stats, const std::vector<int>& services,
                                    uint64_t tolerate) const {
    v.programme = true;
    if (!stats.roles || v.unreadable || v.unrecognised) return;
    const PidRoles& roles = *stats.roles;
    std::vector<int> judged;
    for (const int id : services) {
        if (roles.Carries(id)) judged.push_back(id);
    }
    if (services.empty()) {
        for (const auto& s : roles.Services()) {
            if (!roles.PictureAndSoundPids(s.first).empty()) judged.push_back(s.first);
        }
    }
    // Lost sync and gaps hit every service: inside when within any window.
    Windows any;
    for (const int id : judged) {
        const auto it = std::find_if(m_recorded.begin(), m_recorded.end(),
                                     [id](const Verdict::Window& r) { return r.serviceId == id; });
        if (it == m_recorded.end()) {
            any.all = true;
        } else {
            if (!v.hasWindow) v.window = *it;
            v.hasWindow = true;
            any.Add(it->from, it->to);
        }
    }
    if (!v.hasWindow) {
        v.windowReason = m_unplaced;
        return;
    }
    for (int pid = 0; pid < kPidCount; ++pid) {
        const PidCounts& c = stats.pids[static_cast<size_t>(pid)];
        if (c.packets == 0 || !IsPictureOrSound(&roles, pid)) continue;
        Windows w;
        const bool named = PidWindows(pid, roles, judged, w);
        // The picture and sound of services not chosen is not judged.
        if (!named && !services.empty()) continue;
        const Outside o = OutsideOf(pid, named ? w : any);
        const bool neverClear = c.scrambled == c.packets;
        v.margins.avLost += o.lost;
        v.margins.avErrors += o.errors;
        v.margins.avScrambled += o.scrambled;
        Take(v.avLost, o.lost);
        Take(v.avErrors, o.errors);
        Take(v.avScrambled, neverClear ? o.scrambled : o.afterClear);
        if (!neverClear) Take(v.scrambledAtStart, o.scrambled - o.afterClear);
    }
    IndicatorMargins(v, roles, judged, !services.empty(), any);
    for (const int64_t at : m_sync) {
        if (!any.Holds(at)) ++v.margins.sync;
    }
    for (const auto& g : m_gaps) {
        if (!any.Meets(g.first, g.second)) ++v.margins.gaps;
    }
    Take(v.sync, v.margins.sync);
    Take(v.gaps, v.margins.gaps);
    v.Settle(tolerate);
}

void ProgrammeCoverage::IndicatorMargins(Verdict& v, const PidRoles& roles, const std::vector<int>& judged,
                                         bool chosen, const Windows& any) const {
    // Those on picture and sound by the windows of the judged services that
    // carry the PID, the PSI's and unnamed ones by any.
    for (const auto& i : m_indicators) {
        Windows w;
        const bool named = IsPictureOrSound(&roles, i.pid) && PidWindows(i.pid, roles, judged, w);
        // The indicators of services not chosen are not theirs to judge.
        if (!named && chosen && IsPictureOrSound(&roles, i.pid)) continue;
        if ((named ? w : any).Meets(i.from, i.to)) continue;
        (i.priority == 1 ? v.margins.indicatorsP1 : v.margins.indicatorsP2) += i.count;
    }
    Take(v.indicatorsP1, v.margins.indicatorsP1);
    Take(v.indicatorsP2, v.margins.indicatorsP2);
}

}  // namespace tsvigil
