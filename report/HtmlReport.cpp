// SPDX-License-Identifier: BSD-2-Clause
#include "report/HtmlReport.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "base/ErrorText.h"
#include "base/ReplacingFile.h"
#include "check/CheckStats.h"
#include "check/PidRoles.h"
#include "report/HtmlStyle.h"
#include "report/TimeFormat.h"

namespace tsvigil {

namespace {

std::string Number(uint64_t n) { return std::to_string(n); }

HtmlMark Point(const Finding& f) {
    HtmlMark m;
    m.has[Scale::kAt] = f.hasAt;
    m.from[Scale::kAt] = m.to[Scale::kAt] = f.at;
    m.has[Scale::kElapsed] = f.hasElapsed;
    m.from[Scale::kElapsed] = m.to[Scale::kElapsed] = f.elapsed;
    const int64_t offset = f.offset >= 0 ? f.offset : f.timedAt;
    m.has[Scale::kOffset] = offset >= 0;
    m.from[Scale::kOffset] = m.to[Scale::kOffset] = offset;
    m.count = 1;
    if (f.pid >= 0) m.pids.push_back(f.pid);
    return m;
}

// A mark over a range: from its start to its end on each axis where both
// are known.
HtmlMark Span(const Finding& f) {
    HtmlMark m = Point(f);
    m.has[Scale::kAt] = f.hasAt && f.hasToAt;
    m.to[Scale::kAt] = f.toAt;
    m.has[Scale::kElapsed] = f.hasElapsed && f.hasToElapsed;
    m.to[Scale::kElapsed] = f.toElapsed;
    m.has[Scale::kOffset] = f.offset >= 0;
    m.to[Scale::kOffset] = std::max(f.offset, f.toOffset);
    return m;
}

}  // namespace

std::string HtmlReport::Escape(const std::string& utf8) {
    const std::string s = ValidUtf8(utf8);
    std::string e;
    e.reserve(s.size());
    for (const char ch : s) {
        switch (ch) {
            case '&': e += "&amp;"; break;
            case '<': e += "&lt;"; break;
            case '>': e += "&gt;"; break;
            case '"': e += "&quot;"; break;
            case '\'': e += "&#39;"; break;
            default:
                if (static_cast<unsigned char>(ch) < 0x20 || ch == 0x7F) e += ' ';
                else e += ch;
        }
    }
    return e;
}

HtmlReport::HtmlReport(std::string path, const char* file) : m_path(std::move(path)), m_file(file ? file : "") {}

size_t HtmlReport::KeptBytes() const {
    size_t n = m_timeline.KeptBytes();
    for (const auto& r : m_ranges) n += sizeof r + r.capacity();
    for (const auto& f : m_programmes) n += sizeof f + f.name.capacity() + f.pids.capacity() * sizeof(int);
    for (const auto& f : m_events) n += sizeof f + f.name.capacity() + f.pids.capacity() * sizeof(int);
    return n;
}

namespace {

// A row of the damaged ranges' table. lateAt, lateElapsed: the range began
// before the clock could time it, and is told from the first time known.
std::string RangeRow(const Finding& f, uint64_t number, bool lateAt, bool lateElapsed) {
    std::string row = "<tr><td>" + std::to_string(number) + "</td><td>";
    if (f.hasAt && f.hasToAt) row += FormatClock(f.at) + " &ndash; " + FormatClock(f.toAt);
    else if (lateAt) row += "(earlier) " + FormatClock(f.knownAt) + " &ndash; " + FormatClock(f.toAt);
    row += "</td><td class=\"n\">";
    if (f.hasElapsed && f.hasToElapsed)
        row += FormatTicks(f.elapsed, true) + " &ndash; " + FormatTicks(f.toElapsed, true) + " s (" +
               FormatTicks(f.toElapsed - f.elapsed, true) + " s)";
    else if (lateElapsed)
        row += "(earlier) " + FormatTicks(f.knownElapsed, true) + " &ndash; " + FormatTicks(f.toElapsed, true) + " s";
    row += "</td><td class=\"n\">" + std::to_string(f.offset) + " &ndash; " + std::to_string(f.toOffset) + "</td><td>";
    for (size_t i = 0; i < f.pids.size(); ++i) row += (i ? " " : "") + HtmlPid(f.pids[i]);
    row += "</td><td class=\"n\">" + Number(f.avLost) + "</td><td class=\"n\">" + Number(f.avErrors) + "</td></tr>\n";
    return row;
}

}  // namespace

void HtmlReport::OnDamage(const Finding& f) {
    HtmlMark m = Span(f);
    // A range begun before the clock could time it is drawn from the first
    // time known, and says so.
    const bool lateAt = !f.hasAt && f.hasKnownAt && f.hasToAt;
    const bool lateElapsed = !f.hasElapsed && f.hasKnownElapsed && f.hasToElapsed;
    if (lateAt) {
        m.has[Scale::kAt] = true;
        m.from[Scale::kAt] = f.knownAt;
    }
    if (lateElapsed) {
        m.has[Scale::kElapsed] = true;
        m.from[Scale::kElapsed] = f.knownElapsed;
    }
    m.lateStarts = lateAt || lateElapsed ? 1 : 0;
    m.packets = f.avLost;
    m.errors = f.avErrors;
    m.pids = f.pids;
    std::sort(m.pids.begin(), m.pids.end());
    if (m.pids.size() > HtmlMark::kMaxPids) m.pids.resize(HtmlMark::kMaxPids);
    m_timeline.Add(HtmlTimeline::Row::kDamage, m);
    if (m_rangeCount++ >= kMaxRanges) return;
    m_ranges.push_back(RangeRow(f, m_rangeCount, lateAt, lateElapsed));
}

// Drawn from the ranges, placed to the packet; the per-TOT counts would
// span the whole stretch between two TOTs.
void HtmlReport::OnPacketRange(const Finding& f, HtmlTimeline::Row row) {
    HtmlMark m = Span(f);
    m.packets = static_cast<uint64_t>(std::max<int64_t>(f.count, 0));
    for (const auto& p : f.pidPackets) {
        if (p.av) m.errors += p.packets;
        if (m.pids.size() < HtmlMark::kMaxPids) m.pids.push_back(p.pid);
    }
    m_timeline.Add(row, m);
}

void HtmlReport::On(const Finding& f) {
    switch (f.kind) {
        case Finding::Kind::kDamage:
            m_timeline.Seen(f);
            OnDamage(f);
            break;
        case Finding::Kind::kGap: {
            m_timeline.Seen(f);
            HtmlMark m = Point(f);
            m.has[Scale::kAt] = f.hasAt;
            m.to[Scale::kAt] = f.hasToAt ? f.toAt : f.at;
            m.to[Scale::kElapsed] = f.hasToElapsed ? f.toElapsed : f.elapsed;
            m.packets = f.gapTicks >= 0 ? static_cast<uint64_t>(f.gapTicks) : 0;
            m.errors = f.gapTicks < 0 ? 1 : 0;  // clock resets among them
            m_timeline.Add(HtmlTimeline::Row::kGap, m);
            if (f.gapTicks >= 0) {
                ++m_gaps;
                m_gapTicks += f.gapTicks;
            } else if (f.reset && !f.declared) {
                ++m_resets;
            }
            break;
        }
        case Finding::Kind::kContinuityError:
        case Finding::Kind::kPesLoss: {
            m_timeline.Seen(f);
            // A duplicate, or a copy past it, loses nothing.
            if (f.lost == 0) break;
            HtmlMark m = Point(f);
            m.packets = static_cast<uint64_t>(std::max(f.lost, 0));
            m_timeline.AddLoss(f.pid, m);
            break;
        }
        case Finding::Kind::kSyncError:
            // The bytes after the last packet (a cut-off packet, padding)
            // judge nothing and are not drawn.
            if (f.atEnd) break;
            m_timeline.Seen(f);
            m_timeline.Add(HtmlTimeline::Row::kSync, Point(f));
            break;
        case Finding::Kind::kScrambledRange:
            m_timeline.Seen(f);
            OnPacketRange(f, HtmlTimeline::Row::kScrambled);
            break;
        case Finding::Kind::kTransportErrorRange:
            m_timeline.Seen(f);
            OnPacketRange(f, HtmlTimeline::Row::kTei);
            break;
        case Finding::Kind::kIndicator: {
            m_timeline.Seen(f);
            HtmlMark m = Span(f);
            m.count = static_cast<uint64_t>(std::max<int64_t>(f.count, 0));
            m.names = f.indicator ? f.indicator : "";
            m_timeline.Add(HtmlTimeline::Row::kIndicator, m);
            break;
        }
        case Finding::Kind::kProgramme:
            if (m_programmeCount++ < kMaxProgrammes) m_programmes.push_back(f);
            break;
        case Finding::Kind::kPresentEvent:
            if (m_eventCount++ < kMaxProgrammes) m_events.push_back(f);
            break;
        case Finding::Kind::kPacketSize:
        case Finding::Kind::kTot:
        case Finding::Kind::kScrambled:
        case Finding::Kind::kTransportErrors:
        case Finding::Kind::kPtsGap:
            // Not drawn, but their places widen the axis.
            m_timeline.Seen(f);
            break;
    }
}

void HtmlReport::Finish(const CheckStats& stats) {
    m_info.verdict = stats.verdict;
    m_info.hasElapsed = stats.hasElapsed;
    m_info.elapsed = stats.elapsed;
    for (const auto& f : m_programmes) {
        if (f.recorded) m_info.recorded.push_back({m_conv.Convert(f.name), FormatTime(f.start, true, TimeStyle::kReport)});
    }
    // Written whole or not at all: an older page stays until this one is
    // complete, and a full disk leaves no truncated page.
    m_info.written = ReplacingFile::Write(m_path, Page(stats));
}

namespace {

// "1 place", "6 places".
std::string Counted(uint64_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

// (1) The verdict: words, a symbol, a colour and a pattern; then what
// happened in words, then the figures.
std::string VerdictBox(const Verdict& v, const std::string& said) {
    const char* cls = v.Ok() ? "v-ok" : (v.unreadable || v.unrecognised || v.empty) ? "v-none" : "v-bad";
    const char* symbol = v.Ok() ? "\xE2\x9C\x94" : "\xE2\x9C\x98";  // check mark, ballot x
    std::string words;
    for (const char* w : v.Words()) words += std::string(words.empty() ? "" : ", ") + w;
    const std::string line = v.Line();
    const std::string figures = line.size() > words.size() ? line.substr(words.size() + 1) : "";
    return "<div id=\"verdict\" class=\"" + std::string(cls) + "\">" + HtmlReport::Escape(words) +
           " <span aria-hidden=\"true\">" + symbol + "</span>" +
           (said.empty() ? "" : "<br>\n<span class=\"said\">" + HtmlReport::Escape(said) + "</span>") +
           "<br>\n<span class=\"figures\">" + HtmlReport::Escape(figures) + "</span></div>\n";
}

// (4) The PIDs' table.
std::string PidTable(const CheckStats& stats) {
    std::string h = "<h2>PIDs</h2>\n<table>\n<tr><th>pid</th><th>role</th><th>class</th><th>packets</th><th>lost</th>"
                    "<th>duplicates</th><th>errors</th><th>scrambled</th></tr>\n";
    for (int pid = 0; pid < kPidCount; ++pid) {
        const PidCounts& c = stats.pids[static_cast<size_t>(pid)];
        if (c.packets == 0) continue;
        const std::string role = RoleWithServices(stats.roles, pid);
        h += "<tr><td>" + HtmlPid(pid) + "</td><td>" + HtmlReport::Escape(role) + "</td><td>" +
             ClassName(stats.roles, pid) + "</td><td class=\"n\">" + Number(c.packets) +
             "</td><td class=\"n\">" + Number(c.lost) + "</td><td class=\"n\">" + Number(c.duplicates) +
             "</td><td class=\"n\">" + Number(c.transportErrors) + "</td><td class=\"n\">" + Number(c.scrambled) +
             "</td></tr>\n";
    }
    return h + "</table>\n";
}

}  // namespace

// (2) The facts. Keeps the services' names for the timeline.
std::string HtmlReport::Facts(const CheckStats& stats, std::map<int, std::string>& serviceNames) {
    const std::string file = Escape(m_file);
    std::string h = "<h1>" + file + "</h1>\n<dl>\n<dt>file</dt><dd>" + file + "</dd>\n";
    h += "<dt>size</dt><dd>" + std::to_string(stats.bytes) + " bytes</dd>\n";
    h += "<dt>packet size</dt><dd>" + (stats.packetSize ? std::to_string(stats.packetSize) + " bytes" : "none") + "</dd>\n";
    h += "<dt>duration</dt><dd>" + (stats.hasElapsed ? FormatTicks(stats.elapsed, true) + " s (elapsed, from the PCR)" : "no PCR") + "</dd>\n";
    if (stats.tots == 0) {
        h += "<dt>TOT</dt><dd>none</dd>\n";
    } else {
        h += "<dt>first TOT</dt><dd>" + FormatTime(stats.firstTot, stats.firstTotValid, TimeStyle::kReport) + "</dd>\n";
        h += "<dt>last TOT</dt><dd>" + FormatTime(stats.lastTot, stats.lastTotValid, TimeStyle::kReport) + "</dd>\n";
    }
    if (stats.roles) {
        for (const auto& s : stats.roles->ServiceNames(stats.tots > 0, m_conv)) {
            serviceNames[s.serviceId] = s.name;
            // The service judged alone, beside its name.
            std::string verdict = "<span class=\"service-verdict\">no picture or sound</span>";
            for (const auto& sv : stats.serviceVerdicts) {
                if (sv.serviceId != s.serviceId || !sv.judged) continue;
                verdict = std::string("<span class=\"service-verdict ") + (sv.verdict.Ok() ? "v-ok" : "v-bad") + "\">" +
                          Escape(sv.verdict.Line()) + "</span>";
            }
            h += "<dt>service " + std::to_string(s.serviceId) + "</dt><dd>" + Escape(s.name) + " &mdash; " + verdict +
                 "</dd>\n";
        }
    }
    return h + "</dl>\n";
}

// (4) The first damaged ranges.
std::string HtmlReport::RangeTable() const {
    std::string h = "<h2>Damaged ranges</h2>\n";
    if (m_rangeCount == 0) return h + "<p>none</p>\n";
    h += "<table>\n<tr><th>#</th><th>broadcast time</th><th>elapsed</th><th>offset</th><th>pids</th>"
         "<th>lost</th><th>with errors</th></tr>\n";
    for (const auto& r : m_ranges) h += r;
    h += "</table>\n";
    if (m_rangeCount > m_ranges.size()) h += "<p>" + Number(m_rangeCount - m_ranges.size()) + " more</p>\n";
    return h;
}

// (4) The programmes with their coverage; without coverage, the present
// programmes as the EIT named them.
std::string HtmlReport::ProgrammeTable() {
    std::string h = "<h2>Programmes</h2>\n";
    if (!m_programmes.empty()) {
        h += "<table>\n<tr><th>service</th><th>event</th><th>name</th><th>start &ndash; end</th><th>recorded</th>"
             "<th>missing (start, end, inside)</th><th>coverage</th><th>av lost</th><th>av errors</th>"
             "<th>av scrambled</th><th>damaged ranges</th></tr>\n";
        for (const auto& f : m_programmes) {
            h += "<tr><td>" + std::to_string(f.serviceId) + "</td><td>" + std::to_string(f.eventId) + "</td><td>" +
                 (f.recorded ? "<strong>\xE2\x96\xB6 " : "") + Escape(m_conv.Convert(f.name)) +
                 (f.recorded ? " (recorded programme)</strong>" : "") + "</td>";
            if (f.coverage < 0) {
                h += "<td colspan=\"8\">start or duration undefined: no coverage</td></tr>\n";
                continue;
            }
            const int64_t start = f.start.Seconds() * 1000;
            char cov[32];
            std::snprintf(cov, sizeof cov, "%.1f %%", f.coverage * 100);
            h += "<td>" + FormatClock(start, false) + " &ndash; " + FormatClock(start + f.duration * 1000, false) + "</td><td>" +
                 FormatClock(f.at) + " &ndash; " + FormatClock(f.toAt) + "</td><td>" + FormatSeconds(f.missingStart) +
                 " s, " + FormatSeconds(f.missingEnd) + " s, " + FormatSeconds(f.missingInside) +
                 " s</td><td class=\"n\">" + cov + "</td><td class=\"n\">" + Number(f.avLost) +
                 "</td><td class=\"n\">" + Number(f.avErrors) + "</td><td class=\"n\">" + Number(f.avScrambled) +
                 "</td><td class=\"n\">" + Number(f.damageRanges) + "</td></tr>\n";
        }
        h += "</table>\n";
        if (m_programmeCount > m_programmes.size()) h += "<p>" + Number(m_programmeCount - m_programmes.size()) + " more</p>\n";
    } else if (!m_events.empty()) {
        h += "<p>No coverage (it needs the PCR and a TOT); the present programmes as the EIT named them:</p>\n"
             "<table>\n<tr><th>service</th><th>event</th><th>name</th><th>start</th><th>duration</th></tr>\n";
        for (const auto& f : m_events) {
            h += "<tr><td>" + std::to_string(f.serviceId) + "</td><td>" + std::to_string(f.eventId) + "</td><td>" +
                 Escape(m_conv.Convert(f.name)) + "</td><td>" + FormatTime(f.start, f.hasStart, TimeStyle::kReport) +
                 "</td><td class=\"n\">" + (f.duration >= 0 ? std::to_string(f.duration) + " s" : "undefined") +
                 "</td></tr>\n";
        }
        h += "</table>\n";
        if (m_eventCount > m_events.size()) h += "<p>" + Number(m_eventCount - m_events.size()) + " more</p>\n";
    } else {
        h += "<p>none</p>\n";
    }
    return h;
}

// What happened, in words, counting the damaged ranges as places: "11
// picture and sound packets lost and 53 with errors, in 6 places; 116
// scrambled; sync lost once; one gap of 5.0 s", or "No damage". Nothing
// for a file that holds no stream to judge.
std::string HtmlReport::Said(const Verdict& v) const {
    if (v.unreadable || v.unrecognised || v.empty) return "";
    std::vector<std::string> parts;
    const char* noun = "picture and sound packets";
    if (v.avLost > 0 || v.avErrors > 0) {
        std::string p;
        if (v.avLost > 0) p = Counted(v.avLost, "picture and sound packet", noun) + " lost";
        if (v.avErrors > 0) {
            p += p.empty() ? Counted(v.avErrors, "picture and sound packet", noun) + " with errors"
                           : " and " + Number(v.avErrors) + " with errors";
        }
        if (m_rangeCount > 0) p += ", in " + Counted(m_rangeCount, "place", "places");
        parts.push_back(p);
        noun = nullptr;
    }
    if (v.avScrambled > 0) {
        parts.push_back(noun ? Counted(v.avScrambled, "picture and sound packet", noun) + " scrambled"
                             : Number(v.avScrambled) + " scrambled");
    }
    if (v.sync > 0) {
        parts.push_back(v.sync == 1 ? "sync lost once" : v.sync == 2 ? "sync lost twice"
                                                                   : "sync lost " + Number(v.sync) + " times");
    }
    if (m_gaps > 0) {
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%.1f s", static_cast<double>(m_gapTicks) / 27e6);
        parts.push_back(m_gaps == 1 ? std::string("one gap of ") + seconds
                                    : Number(m_gaps) + " gaps, " + seconds + " in all");
    }
    if (m_resets > 0) parts.push_back(m_resets == 1 ? "one clock reset" : Number(m_resets) + " clock resets");
    if (parts.empty()) return "No damage";
    std::string said;
    for (const auto& p : parts) said += (said.empty() ? "" : "; ") + p;
    return said;
}

std::string HtmlReport::Page(const CheckStats& stats) {
    std::string h;
    h.reserve(64 * 1024);
    h += "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
         "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>tsvigil: " +
         Escape(m_file) + "</title>\n<style>" + kHtmlStyle + "</style>\n</head>\n<body>\n";
    h += VerdictBox(stats.verdict, Said(stats.verdict));
    if (stats.unreadable && stats.errorNumber != 0)
        h += "<p id=\"error\">Could not be read: " + Escape(ErrorText(stats.errorNumber)) + "</p>\n";
    std::map<int, std::string> serviceNames;
    h += Facts(stats, serviceNames);
    // (3) The timeline.
    h += m_timeline.Draw(stats, m_programmes, serviceNames, m_conv);
    h += PidTable(stats);
    h += RangeTable();
    h += ProgrammeTable();
    h += "</body>\n</html>\n";
    return h;
}

namespace {

// A page's name as a relative URL: bytes outside the unreserved set
// percent-encoded.
std::string UrlPath(const std::string& name) {
    std::string u;
    for (const char ch : name) {
        const auto c = static_cast<unsigned char>(ch);
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
            c == '_' || c == '~') {
            u += ch;
        } else {
            char e[4];
            std::snprintf(e, sizeof e, "%%%02X", c);
            u += e;
        }
    }
    return u;
}

// 27 MHz ticks as h:mm:ss, to the nearest second.
std::string Hms(int64_t ticks) {
    const int64_t t = (std::max<int64_t>(ticks, 0) + 13500000) / 27000000;
    char s[40];
    std::snprintf(s, sizeof s, "%lld:%02d:%02d", static_cast<long long>(t / 3600), static_cast<int>(t / 60 % 60),
                  static_cast<int>(t % 60));
    return s;
}

}  // namespace

bool WriteHtmlIndex(const std::string& dir, const std::vector<std::string>& files,
                    const std::vector<std::string>& pages, const std::vector<HtmlPageInfo>& infos) {
    const size_t n = std::min({files.size(), pages.size(), infos.size()});
    // The tally: how many files got each verdict, ok first, the others in
    // the order they first come.
    std::vector<std::pair<std::string, size_t>> tally = {{"ok", 0}};
    for (size_t i = 0; i < n; ++i) {
        std::string words;
        for (const char* w : infos[i].verdict.Words()) words += std::string(words.empty() ? "" : ", ") + w;
        auto it = std::find_if(tally.begin(), tally.end(), [&](const auto& t) { return t.first == words; });
        if (it == tally.end()) tally.emplace_back(words, 1);
        else ++it->second;
    }
    std::string h = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>tsvigil: " +
                    std::to_string(files.size()) + " files</title>\n<style>" + kHtmlStyle +
                    "td.v-ok,td.v-bad,td.v-none{font-weight:bold}</style>\n</head>\n<body>\n<h1>" +
                    std::to_string(files.size()) + " files</h1>\n<table id=\"tally\">\n<tr><th>verdict</th><th>files</th></tr>\n";
    for (const auto& t : tally) {
        if (t.second > 0) h += "<tr><td>" + t.first + "</td><td class=\"n\">" + Number(t.second) + "</td></tr>\n";
    }
    h += "</table>\n<table>\n<tr><th>file</th><th>verdict</th><th>recorded programme</th><th>duration</th>"
         "<th>figures</th></tr>\n";
    for (size_t i = 0; i < n; ++i) {
        const Verdict& v = infos[i].verdict;
        std::string words;
        for (const char* w : v.Words()) words += std::string(words.empty() ? "" : ", ") + w;
        const std::string line = v.Line();
        const size_t paren = line.find(" (");
        const std::string figures = paren == std::string::npos ? "" : line.substr(paren + 2, line.size() - paren - 3);
        const char* cls = v.Ok() ? "v-ok" : (v.unreadable || v.unrecognised || v.empty) ? "v-none" : "v-bad";
        std::string recorded;
        for (const auto& r : infos[i].recorded) {
            recorded += (recorded.empty() ? "" : "<br>") + HtmlReport::Escape(r.name) + ", " + r.start;
        }
        // Only the pages this run wrote are linked: where one could not be
        // written, an older page of that name may remain, of another file.
        const std::string name = HtmlReport::Escape(files[i]);
        h += "<tr><td>" +
             (infos[i].written ? "<a href=\"" + HtmlReport::Escape(UrlPath(pages[i])) + "\">" + name + "</a>" : name) +
             "</td><td class=\"" + cls + "\">" + (v.Ok() ? "\xE2\x9C\x94 " : "\xE2\x9C\x98 ") + words + "</td><td>" +
             recorded + "</td><td class=\"n\">" + (infos[i].hasElapsed ? Hms(infos[i].elapsed) : "no PCR") +
             "</td><td>" + HtmlReport::Escape(figures) + "</td></tr>\n";
    }
    h += "</table>\n</body>\n</html>\n";
    return ReplacingFile::Write(dir + "/index.html", h);
}

}  // namespace tsvigil
