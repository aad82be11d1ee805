// SPDX-License-Identifier: BSD-2-Clause
#include "report/Ranking.h"

#include <algorithm>
#include <cinttypes>
#include <cmath>

#include "check/CheckStats.h"
#include "report/JsonReport.h"
#include "report/TimeFormat.h"
#include "text/Utf8.h"

namespace tsvigil {

void RankCollector::On(const Finding& f) {
    // A programme without a start or a duration has no coverage and cannot
    // be told to be the same as another.
    if (f.kind != Finding::Kind::kProgramme || !f.recorded || !f.hasStart || f.duration < 0 || f.coverage < 0) return;
    RankedProgramme p;
    p.serviceId = f.serviceId;
    p.eventId = f.eventId;
    p.name = f.name;
    p.start = f.start;
    p.duration = f.duration;
    p.coverage = f.coverage;
    // The programme's own figures: damage in another programme of the file,
    // or on another service, says nothing of this copy.
    p.avLost = f.avLost;
    p.avErrors = f.avErrors;
    p.avScrambled = f.avScrambled;
    m_into.programmes.push_back(std::move(p));
}

void RankCollector::Finish(const CheckStats& stats) {
    m_into.read = !stats.unreadable;
    if (!m_into.read) m_into.programmes.clear();
    // Judged over chosen services, only their programmes are ranked.
    const auto& chosen = stats.selectedServices;
    if (!chosen.empty()) {
        auto& kept = m_into.programmes;
        kept.erase(std::remove_if(kept.begin(), kept.end(),
                                  [&](const RankedProgramme& p) {
                                      return std::find(chosen.begin(), chosen.end(), p.serviceId) == chosen.end();
                                  }),
                   kept.end());
    }
}

namespace {

bool SameProgramme(const RankedProgramme& a, const RankedProgramme& b) {
    if (!(a.start == b.start)) return false;
    if (a.serviceId == b.serviceId && a.eventId == b.eventId) return true;
    return !a.name.empty() && a.name == b.name && a.duration == b.duration;
}

struct Copy {
    size_t file;
    const RankedProgramme* programme;
};

// The coverage as shown, so that the order agrees with the figures.
int64_t Thousandths(double coverage) { return std::llround(coverage * 1000); }

bool Better(const Copy& a, const Copy& b) {
    const RankedProgramme& x = *a.programme;
    const RankedProgramme& y = *b.programme;
    if (Thousandths(x.coverage) != Thousandths(y.coverage)) return Thousandths(x.coverage) > Thousandths(y.coverage);
    if (x.avLost + x.avErrors != y.avLost + y.avErrors) return x.avLost + x.avErrors < y.avLost + y.avErrors;
    if (x.avScrambled != y.avScrambled) return x.avScrambled < y.avScrambled;
    return a.file < b.file;
}

}  // namespace

void WriteRanking(std::FILE* out, const std::vector<std::string>& files, const std::vector<RankedFile>& ranked,
                  RankStyle style) {
    // The programmes in the order they first appear, each with one copy per
    // file: a file that carries one programme on two services is one copy.
    std::vector<std::vector<Copy>> groups;
    for (size_t i = 0; i < ranked.size() && i < files.size(); ++i) {
        for (const auto& p : ranked[i].programmes) {
            auto group = std::find_if(groups.begin(), groups.end(), [&](const std::vector<Copy>& g) {
                return std::any_of(g.begin(), g.end(), [&](const Copy& c) { return SameProgramme(*c.programme, p); });
            });
            if (group == groups.end()) groups.push_back({Copy{i, &p}});
            else if (group->back().file != i) group->push_back(Copy{i, &p});
        }
    }
    SjisToUtf8 conv;
    for (auto& g : groups) {
        if (g.size() < 2) continue;
        const RankedProgramme& first = *g.front().programme;
        std::stable_sort(g.begin(), g.end(), Better);
        if (style == RankStyle::kJson) {
            std::string copies;
            for (const Copy& c : g) {
                const RankedProgramme& p = *c.programme;
                char figures[160];
                std::snprintf(figures, sizeof figures,
                              ",\"coverage\":%.3f,\"av_lost\":%" PRIu64 ",\"av_errors\":%" PRIu64
                              ",\"av_scrambled\":%" PRIu64 "}",
                              p.coverage, p.avLost, p.avErrors, p.avScrambled);
                copies += (copies.empty() ? "{\"file\":" : ",{\"file\":") + JsonReport::Quote(files[c.file]) + figures;
            }
            std::fprintf(out, "{\"type\":\"ranking\",\"service_id\":%d,\"event_id\":%d,\"name\":%s,\"start\":%s,\"copies\":[%s]}\n",
                         first.serviceId, first.eventId, JsonReport::Quote(conv.Convert(first.name)).c_str(),
                         FormatTime(first.start, true, TimeStyle::kJson).c_str(), copies.c_str());
            continue;
        }
        const std::string name = style == RankStyle::kUtf8 ? conv.Convert(first.name) : first.name;
        std::fprintf(out, "programme %d/%d %s:", first.serviceId, first.eventId, name.c_str());
        for (size_t k = 0; k < g.size(); ++k) {
            const RankedProgramme& p = *g[k].programme;
            std::fprintf(out, "%s %s (coverage %.3f, av lost %" PRIu64 ", av errors %" PRIu64 ", av scrambled %" PRIu64 ")",
                         k == 0 ? " best" : "; then", files[g[k].file].c_str(), p.coverage, p.avLost, p.avErrors,
                         p.avScrambled);
        }
        std::fputc('\n', out);
    }
}

}  // namespace tsvigil
