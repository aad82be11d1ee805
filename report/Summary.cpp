// SPDX-License-Identifier: BSD-2-Clause
#include "report/Summary.h"

#include <algorithm>
#include <cinttypes>
#include <iterator>
#include <string>

#include "check/CheckStats.h"
#include "check/PidRoles.h"
#include "check/Verdict.h"
#include "report/TimeFormat.h"

namespace tsvigil {

namespace {

// "3.200 s" of milliseconds.
std::string Seconds(int64_t ms) { return FormatSeconds(ms) + " s"; }

}  // namespace

void SummaryReport::OnProgramme(const Finding& f) {
    char head[64];
    std::snprintf(head, sizeof head, "  programme %d/%d ", f.serviceId, f.eventId);
    std::string line = head + f.name + " ";
    if (f.coverage < 0) {
        m_programmes.push_back(line + "(start or duration undefined: no coverage)");
        return;
    }
    const int64_t start = f.start.Seconds() * 1000;
    line += FormatClock(start, false) + "-" + FormatClock(start + f.duration * 1000, false) + ": recorded " +
            FormatClock(f.at) + "-" + FormatClock(f.toAt);
    std::string missing;
    if (f.missingStart > 0) missing += ", " + Seconds(f.missingStart) + " missing at the start";
    if (f.missingEnd > 0) missing += ", " + Seconds(f.missingEnd) + " missing at the end";
    if (f.missingInside > 0) missing += ", " + Seconds(f.missingInside) + " missing inside";
    m_programmes.push_back(line + (missing.empty() ? ", whole" : missing));
}

void SummaryReport::On(const Finding& f) {
    switch (f.kind) {
        case Finding::Kind::kProgramme:
            OnProgramme(f);
            break;
        case Finding::Kind::kDamage:
            OnDamage(f);
            break;
        case Finding::Kind::kIndicator:
            OnIndicator(f);
            break;
        case Finding::Kind::kPacketSize:
        case Finding::Kind::kSyncError:
        case Finding::Kind::kContinuityError:
        case Finding::Kind::kTot:
        case Finding::Kind::kScrambled:
        case Finding::Kind::kTransportErrors:
        case Finding::Kind::kPresentEvent:
        case Finding::Kind::kGap:
        case Finding::Kind::kScrambledRange:
        case Finding::Kind::kTransportErrorRange:
        case Finding::Kind::kPesLoss:
        case Finding::Kind::kPtsGap:
            // Counted in the stats the summary is written from.
            break;
    }
}

void SummaryReport::OnDamage(const Finding& f) {
    if (m_rangeCount++ >= kMaxRanges) return;
    std::string line = "  damaged: ";
    // A range that began before the clock could time it: its offset, then
    // the times from the first the check could give.
    const std::string before = "offset " + std::to_string(f.offset) + ", then ";
    if (f.hasAt && f.hasToAt) line += FormatClock(f.at) + "-" + FormatClock(f.toAt);
    else if (f.hasKnownAt && f.hasToAt) line += before + FormatClock(f.knownAt) + "-" + FormatClock(f.toAt);
    else if (f.hasElapsed && f.hasToElapsed) line += FormatTicks(f.elapsed, true) + "-" + FormatTicks(f.toElapsed, true) + " s elapsed";
    else if (f.hasKnownElapsed && f.hasToElapsed)
        line += before + FormatTicks(f.knownElapsed, true) + "-" + FormatTicks(f.toElapsed, true) + " s elapsed";
    else line += "offset " + std::to_string(f.offset) + "-" + std::to_string(f.toOffset);
    if (f.hasElapsed && f.hasToElapsed) line += " (" + FormatTicks(f.toElapsed - f.elapsed, true) + " s)";
    line += " pids";
    for (const int pid : f.pids) {
        char hex[12];
        std::snprintf(hex, sizeof hex, " 0x%04x", pid);
        line += hex;
    }
    if (f.pids.empty()) line += " none";
    line += ": " + std::to_string(f.avLost) + " packets lost, " + std::to_string(f.avErrors) + " with errors";
    m_ranges.push_back(line);
}

void SummaryReport::OnIndicator(const Finding& f) {
    const std::string name = f.indicator ? f.indicator : "";
    auto row = std::find_if(m_indicators.begin(), m_indicators.end(),
                            [&](const IndicatorRow& r) { return r.name == name; });
    if (row == m_indicators.end()) {
        m_indicators.push_back(IndicatorRow{name, f.priority, {}, 0, {}, {}});
        row = std::prev(m_indicators.end());
    }
    const auto pid = std::lower_bound(row->pids.begin(), row->pids.end(), f.pid);
    if (pid == row->pids.end() || *pid != f.pid) row->pids.insert(pid, f.pid);
    row->count += static_cast<uint64_t>(f.count);
    // The broadcast time where a TOT placed it, else elapsed, else the offset.
    const auto when = [](bool hasAt, int64_t at, bool hasElapsed, int64_t elapsed, int64_t offset) {
        if (hasAt) return FormatClock(at);
        if (hasElapsed) return FormatTicks(elapsed, true) + " s";
        return "offset " + std::to_string(offset);
    };
    if (row->first.empty()) row->first = when(f.hasAt, f.at, f.hasElapsed, f.elapsed, f.offset);
    row->last = when(f.hasToAt, f.toAt, f.hasToElapsed, f.toElapsed, f.toOffset);
}

void SummaryReport::WriteIndicators(const CheckStats& stats) const {
    std::FILE* out = m_out;
    if (!stats.indicatorsFollowed) return;
    const std::string untimed =
        stats.indicatorsTimed ? "" : ", not timed (" + stats.indicatorsUntimed + "): only CRC_error and scrambled PAT and PMT";
    std::fprintf(out, "  indicators (TR 101 290)%s:%s\n", untimed.c_str(), m_indicators.empty() ? " none" : "");
    if (m_indicators.empty()) return;
    std::fputs("    indicator                          priority  count  first          last           pids\n", out);
    for (const IndicatorRow& r : m_indicators) {
        std::string pids;
        for (const int pid : r.pids) {
            char hex[12];
            std::snprintf(hex, sizeof hex, " 0x%04x", pid);
            pids += hex;
        }
        std::fprintf(out, "    %-34s %8d %6" PRIu64 "  %-14s %-14s%s\n", r.name.c_str(), r.priority, r.count,
                     r.first.c_str(), r.last.c_str(), pids.c_str());
    }
}

void SummaryReport::Finish(const CheckStats& stats) {
    std::FILE* out = m_out;
    std::fputs("\n summary:\n", out);
    std::fputs("     pid        packets   cc errors  tei errors  scrambled       lost    dups   disc    crc  class  role\n", out);
    PidCounts total;
    for (int pid = 0; pid < kPidCount; ++pid) {
        const PidCounts& c = stats.pids[static_cast<size_t>(pid)];
        if (c.packets == 0) continue;
        const std::string role = RoleWithServices(stats.roles, pid);
        std::fprintf(out, "  0x%04x %14" PRIu64 " %11" PRIu64 " %11" PRIu64 " %10" PRIu64 " %10" PRIu64 " %7" PRIu64
                     " %6" PRIu64 " %6" PRIu64 "  %-5s  %s\n",
                     pid, c.packets, c.continuityErrors, c.transportErrors, c.scrambled, c.lost, c.duplicates,
                     c.discontinuities, c.crcErrors, ClassName(stats.roles, pid), role.c_str());
        total.packets += c.packets;
        total.continuityErrors += c.continuityErrors;
        total.transportErrors += c.transportErrors;
        total.scrambled += c.scrambled;
        total.lost += c.lost;
        total.duplicates += c.duplicates;
        total.discontinuities += c.discontinuities;
        total.crcErrors += c.crcErrors;
    }
    std::fprintf(out, "  total  %14" PRIu64 " %11" PRIu64 " %11" PRIu64 " %10" PRIu64 " %10" PRIu64 " %7" PRIu64 " %6" PRIu64 " %6" PRIu64 "\n",
                 total.packets, total.continuityErrors, total.transportErrors, total.scrambled, total.lost,
                 total.duplicates, total.discontinuities, total.crcErrors);
    std::fprintf(out, "  sync byte errors: %" PRIu64 "\n", stats.syncErrors);
    std::fprintf(out, "  elapsed: %s\n", stats.hasElapsed ? (FormatTicks(stats.elapsed, true) + " s").c_str() : "no PCR");
    std::fprintf(out, "  gaps: %" PRIu64 "%s\n", stats.gaps,
                 stats.declaredResets ? (", and " + std::to_string(stats.declaredResets) + " declared clock resets").c_str() : "");
    if (stats.tots == 0) {
        std::fputs("  TOT: none\n", out);
    } else {
        std::fprintf(out, "  first TOT: %s\n", FormatTime(stats.firstTot, stats.firstTotValid, TimeStyle::kReport).c_str());
        std::fprintf(out, "  last TOT:  %s\n", FormatTime(stats.lastTot, stats.lastTotValid, TimeStyle::kReport).c_str());
    }
    if (stats.roles) {
        // Shift_JIS as the report; a name in plain text (no ARIB stream) from its UTF-8.
        SjisToUtf8 conv;
        const auto services = stats.roles->Services();
        const auto names = stats.roles->ServiceNames(stats.tots > 0, conv);
        for (size_t i = 0; i < services.size() && i < names.size(); ++i) {
            const std::string name = names[i].plain ? Utf8ToSjis(names[i].name) : services[i].second;
            std::fprintf(out, "  service %5d: %s\n", services[i].first, name.c_str());
        }
    }
    for (const auto& line : m_programmes) std::fprintf(out, "%s\n", line.c_str());
    for (const auto& line : m_ranges) std::fprintf(out, "%s\n", line.c_str());
    if (m_rangeCount > m_ranges.size()) std::fprintf(out, "  ... and %" PRIu64 " more\n", m_rangeCount - m_ranges.size());
    WriteIndicators(stats);
    // Each service judged alone, then what the services not chosen lost.
    if (stats.roles) {
        for (const auto& s : stats.roles->Services()) {
            std::string line = "no picture or sound";
            for (const auto& sv : stats.serviceVerdicts) {
                if (sv.serviceId == s.first && sv.judged) line = sv.verdict.Line();
            }
            std::fprintf(out, "  verdict %d%s%s: %s\n", s.first, s.second.empty() ? "" : " ", s.second.c_str(),
                         line.c_str());
        }
    }
    const Verdict& v = stats.verdict;
    if (v.selected) {
        std::fprintf(out, "  other services: av lost %" PRIu64 ", av errors %" PRIu64 ", av scrambled %" PRIu64 "\n",
                     v.otherServicesAvLost, v.otherServicesAvErrors, v.otherServicesAvScrambled);
        if (v.absent) {
            std::string ids;
            for (const int id : v.absentServices) ids += " " + std::to_string(id);
            std::fprintf(out, "  absent services:%s\n", ids.c_str());
        }
    }
    if (v.programme && v.hasWindow) {
        std::fprintf(out, "  judged programme: service %d event %d, %s to %s\n", v.window.serviceId,
                     v.window.eventId, FormatClock(v.window.from, false).c_str(), FormatClock(v.window.to, false).c_str());
    } else if (v.programme) {
        std::fprintf(out, "  judged programme: none (%s): the whole file\n", v.windowReason ? v.windowReason : "no EIT");
    }
    std::fprintf(out, "  verdict: %s\n", v.Line().c_str());
}

}  // namespace tsvigil
