// SPDX-License-Identifier: BSD-2-Clause
#include "report/HtmlReport.h"

#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <set>
#include <utility>

#include "base/ReplacingFile.h"
#include "base/TSPacket.h"
#include "check/PcrClock.h"
#include "check/PidRoles.h"
#include "report/TimeFormat.h"

namespace {

constexpr size_t kMaxPids = 8;  // PIDs a mark names; the rest are counted in its title as "..."
constexpr int kLeft = 160;      // the rows' names left of the plot
constexpr int kRowHeight = 22;

// A broadcast time in ms as ISO 8601 with milliseconds, unquoted.
std::string Iso(int64_t ms) {
    const std::string q = FormatMilliseconds(ms, true);
    return q.substr(1, q.size() - 2);
}

std::string Hex(int pid) {
    char s[12];
    std::snprintf(s, sizeof s, "0x%04x", pid);
    return s;
}

std::string Number(uint64_t n) { return std::to_string(n); }

// The place of a mark's bound on an axis, as data-from/data-to give it.
std::string PlaceText(int axis, int64_t v) {
    if (axis == CHtmlMark::kAt) return Iso(v);
    if (axis == CHtmlMark::kElapsed) return FormatTicks(v, true);
    return std::to_string(v);
}

// At most n code points of UTF-8 text, with an ellipsis when cut.
std::string Shorten(const std::string& s, size_t n) {
    size_t points = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        if ((static_cast<unsigned char>(s[i]) & 0xC0) == 0x80) continue;
        if (points++ == n) return s.substr(0, i) + "\xE2\x80\xA6";
    }
    return s;
}

CHtmlMark Point(const CFinding& f) {
    CHtmlMark m;
    m.has[CHtmlMark::kAt] = f.hasAt;
    m.from[CHtmlMark::kAt] = m.to[CHtmlMark::kAt] = f.at;
    m.has[CHtmlMark::kElapsed] = f.hasElapsed;
    m.from[CHtmlMark::kElapsed] = m.to[CHtmlMark::kElapsed] = f.elapsed;
    const int64_t offset = f.offset >= 0 ? f.offset : f.timedAt;
    m.has[CHtmlMark::kOffset] = offset >= 0;
    m.from[CHtmlMark::kOffset] = m.to[CHtmlMark::kOffset] = offset;
    m.count = 1;
    if (f.pid >= 0) m.pids.push_back(f.pid);
    return m;
}

// A mark over a range: from its start to its end on each axis where both
// are known.
CHtmlMark Span(const CFinding& f) {
    CHtmlMark m = Point(f);
    m.has[CHtmlMark::kAt] = f.hasAt && f.hasToAt;
    m.to[CHtmlMark::kAt] = f.toAt;
    m.has[CHtmlMark::kElapsed] = f.hasElapsed && f.hasToElapsed;
    m.to[CHtmlMark::kElapsed] = f.toElapsed;
    m.has[CHtmlMark::kOffset] = f.offset >= 0;
    m.to[CHtmlMark::kOffset] = std::max(f.offset, f.toOffset);
    return m;
}

const char* const kStyle =
    "body{font-family:'Noto Sans CJK JP','Noto Sans JP',sans-serif;margin:1.5em;color:#111;background:#fff}"
    "h1{font-size:1.3em}h2{font-size:1.1em;margin-top:1.5em}"
    "#verdict{padding:.7em 1em;font-size:1.25em;font-weight:bold;border:3px solid #000;"
    "-webkit-print-color-adjust:exact;print-color-adjust:exact}"
    ".v-ok{background:#c8efc8;border-style:solid}"
    ".v-bad{background:repeating-linear-gradient(45deg,#f6b8b8 0 10px,#fde3e3 10px 20px);border-style:dashed}"
    ".v-none{background:repeating-linear-gradient(0deg,#ddd 0 4px,#f4f4f4 4px 8px);border-style:dotted}"
    "table{border-collapse:collapse;margin:.5em 0}td,th{border:1px solid #999;padding:2px 6px;text-align:left}"
    "td.n{text-align:right;font-variant-numeric:tabular-nums}"
    "dl{display:grid;grid-template-columns:max-content auto;gap:2px 1em}dt{font-weight:bold}dd{margin:0}"
    "svg{width:100%;height:auto;max-width:1200px;-webkit-print-color-adjust:exact;print-color-adjust:exact}"
    "svg text{font-size:12px}.axis line{stroke:#bbb}.band{fill:#dde6f5;stroke:#5a76a8}"
    ".band.recorded{fill:#b6cbef;stroke:#1d3f80;stroke-width:2}"
    ".damage{fill:#c00}.loss{fill:#e07b00}.scrambled{fill:#7a3db8}.tei{fill:#a05a00}.sync{fill:#222}"
    ".gap{fill:url(#hatch);stroke:#555}#hover{min-height:1.3em;font-family:monospace}"
    "@media print{#hover{display:none}}";

}  // namespace

void CHtmlMark::Absorb(const CHtmlMark& o) {
    for (int a = 0; a < kAxes; ++a) {
        if (!o.has[a]) continue;
        if (!has[a]) {
            has[a] = true;
            from[a] = o.from[a];
            to[a] = o.to[a];
            continue;
        }
        from[a] = std::min(from[a], o.from[a]);
        to[a] = std::max(to[a], o.to[a]);
    }
    count += o.count;
    packets += o.packets;
    errors += o.errors;
    lateStarts += o.lateStarts;
    for (const int pid : o.pids) {
        const auto it = std::lower_bound(pids.begin(), pids.end(), pid);
        if (it != pids.end() && *it == pid) continue;
        if (pids.size() < kMaxPids) pids.insert(it, pid);
    }
}

void MergeMarks(std::vector<CHtmlMark>& marks, int axis, double unit) {
    // std::sort, not stable_sort: no temporary buffer, and marks that tie
    // merge whatever their order.
    std::sort(marks.begin(), marks.end(), [axis](const CHtmlMark& a, const CHtmlMark& b) {
        if (a.has[axis] != b.has[axis]) return !a.has[axis];
        if (!a.has[axis]) return false;
        return a.from[axis] != b.from[axis] ? a.from[axis] < b.from[axis] : a.to[axis] < b.to[axis];
    });
    std::vector<CHtmlMark> merged;
    merged.reserve(marks.size());
    for (auto& m : marks) {
        if (!merged.empty() && m.has[axis] && merged.back().has[axis]) {
            const CHtmlMark& last = merged.back();
            const int64_t end = std::max(last.from[axis], last.to[axis]);
            if (static_cast<double>(m.from[axis] - end) < unit) {
                merged.back().Absorb(m);
                continue;
            }
        }
        merged.push_back(std::move(m));
    }
    marks = std::move(merged);
}

std::string CHtmlReport::Escape(const std::string& utf8) {
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

CHtmlReport::CHtmlReport(std::string path, const char* file) : m_path(std::move(path)), m_file(file ? file : "") {}

size_t CHtmlReport::KeptBytes() const {
    auto rowBytes = [](const std::vector<CHtmlMark>& row) {
        size_t n = row.capacity() * sizeof(CHtmlMark);
        for (const auto& m : row) n += m.pids.capacity() * sizeof(int);
        return n;
    };
    size_t n = 0;
    for (const auto& row : m_rows) n += rowBytes(row);
    for (const auto& p : m_losses) n += rowBytes(p.second) + 48;
    for (const auto& r : m_ranges) n += sizeof r + r.capacity();
    for (const auto& f : m_programmes) n += sizeof f + f.name.capacity() + f.pids.capacity() * sizeof(int);
    for (const auto& f : m_events) n += sizeof f + f.name.capacity() + f.pids.capacity() * sizeof(int);
    return n;
}

int CHtmlReport::BestAxis() const {
    if (m_seen[CHtmlMark::kAt]) return CHtmlMark::kAt;
    if (m_seen[CHtmlMark::kElapsed]) return CHtmlMark::kElapsed;
    return CHtmlMark::kOffset;
}

void CHtmlReport::Add(std::vector<CHtmlMark>& row, const CHtmlMark& m) {
    row.push_back(m);
    if (row.size() <= kMaxMarks) return;
    // The axis only grows, so what is closer than a pixel of the span seen
    // so far stays closer than a pixel of the page's.
    const int axis = BestAxis();
    MergeMarks(row, axis, static_cast<double>(m_max[axis] - m_min[axis]) / kWidth);
}

void CHtmlReport::Seen(const CFinding& f) {
    auto see = [this](int axis, int64_t v) {
        if (!m_seen[axis]) {
            m_seen[axis] = true;
            m_min[axis] = m_max[axis] = v;
        }
        m_min[axis] = std::min(m_min[axis], v);
        m_max[axis] = std::max(m_max[axis], v);
    };
    if (f.hasAt) see(CHtmlMark::kAt, f.at);
    if (f.hasToAt) see(CHtmlMark::kAt, f.toAt);
    if (f.hasElapsed) see(CHtmlMark::kElapsed, f.elapsed);
    if (f.hasToElapsed) see(CHtmlMark::kElapsed, f.toElapsed);
    if (f.hasKnownAt) see(CHtmlMark::kAt, f.knownAt);
    if (f.hasKnownElapsed) see(CHtmlMark::kElapsed, f.knownElapsed);
    if (f.offset >= 0) see(CHtmlMark::kOffset, f.offset);
    if (f.toOffset >= 0) see(CHtmlMark::kOffset, f.toOffset);
    if (f.hasAt && f.hasElapsed && f.kind != CFinding::kProgramme) {
        if (!m_hasFirstRef) {
            m_hasFirstRef = true;
            m_firstRefAt = f.at;
            m_firstRefElapsed = f.elapsed;
        }
        m_hasLastRef = true;
        m_lastRefAt = f.at;
        m_lastRefElapsed = f.elapsed;
    }
}

void CHtmlReport::On(const CFinding& f) {
    // The bytes after the last packet (a cut-off packet, padding) judge
    // nothing and are not drawn.
    if (f.kind == CFinding::kSyncError && f.atEnd) return;
    if (f.kind != CFinding::kProgramme && f.kind != CFinding::kPresentEvent) Seen(f);
    switch (f.kind) {
        case CFinding::kDamage: {
            CHtmlMark m = Span(f);
            // A range begun before the clock could time it is drawn from
            // the first time known, and says so.
            const bool lateAt = !f.hasAt && f.hasKnownAt && f.hasToAt;
            const bool lateElapsed = !f.hasElapsed && f.hasKnownElapsed && f.hasToElapsed;
            if (lateAt) {
                m.has[CHtmlMark::kAt] = true;
                m.from[CHtmlMark::kAt] = f.knownAt;
            }
            if (lateElapsed) {
                m.has[CHtmlMark::kElapsed] = true;
                m.from[CHtmlMark::kElapsed] = f.knownElapsed;
            }
            m.lateStarts = lateAt || lateElapsed ? 1 : 0;
            m.packets = f.avLost;
            m.errors = f.avErrors;
            m.pids = f.pids;
            std::sort(m.pids.begin(), m.pids.end());
            if (m.pids.size() > kMaxPids) m.pids.resize(kMaxPids);
            Add(m_rows[kDamageRow], m);
            if (m_nRanges++ >= kMaxRanges) break;
            std::string row = "<tr><td>" + std::to_string(m_nRanges) + "</td><td>";
            if (f.hasAt && f.hasToAt) row += FormatClock(f.at) + " &ndash; " + FormatClock(f.toAt);
            else if (lateAt) row += "(earlier) " + FormatClock(f.knownAt) + " &ndash; " + FormatClock(f.toAt);
            row += "</td><td class=\"n\">";
            if (f.hasElapsed && f.hasToElapsed)
                row += FormatTicks(f.elapsed, true) + " &ndash; " + FormatTicks(f.toElapsed, true) + " s (" +
                       FormatTicks(f.toElapsed - f.elapsed, true) + " s)";
            else if (lateElapsed)
                row += "(earlier) " + FormatTicks(f.knownElapsed, true) + " &ndash; " + FormatTicks(f.toElapsed, true) + " s";
            row += "</td><td class=\"n\">" + std::to_string(f.offset) + " &ndash; " + std::to_string(f.toOffset) +
                   "</td><td>";
            for (size_t i = 0; i < f.pids.size(); ++i) row += (i ? " " : "") + Hex(f.pids[i]);
            row += "</td><td class=\"n\">" + Number(f.avLost) + "</td><td class=\"n\">" + Number(f.avErrors) +
                   "</td></tr>\n";
            m_ranges.push_back(row);
            break;
        }
        case CFinding::kGap: {
            CHtmlMark m = Point(f);
            m.has[CHtmlMark::kAt] = f.hasAt;
            m.to[CHtmlMark::kAt] = f.hasToAt ? f.toAt : f.at;
            m.to[CHtmlMark::kElapsed] = f.hasToElapsed ? f.toElapsed : f.elapsed;
            m.packets = f.gapTicks >= 0 ? static_cast<uint64_t>(f.gapTicks) : 0;
            m.errors = f.gapTicks < 0 ? 1 : 0;  // clock resets among them
            Add(m_rows[kGapRow], m);
            break;
        }
        case CFinding::kContinuityError: {
            // A duplicate, or a copy past it, loses nothing.
            if (f.lost == 0) break;
            CHtmlMark m = Point(f);
            m.packets = static_cast<uint64_t>(std::max(f.lost, 0));
            Add(m_losses[f.pid], m);
            break;
        }
        case CFinding::kSyncError:
            Add(m_rows[kSyncRow], Point(f));
            break;
        case CFinding::kScrambledRange:
        case CFinding::kTransportErrorRange: {
            // Drawn from the ranges, placed to the packet; the per-TOT
            // counts would span the whole stretch between two TOTs.
            CHtmlMark m = Span(f);
            m.packets = static_cast<uint64_t>(std::max<int64_t>(f.count, 0));
            for (const auto& p : f.pidPackets) {
                if (p.av) m.errors += p.packets;
                if (m.pids.size() < kMaxPids) m.pids.push_back(p.pid);
            }
            Add(m_rows[f.kind == CFinding::kScrambledRange ? kScrambledRow : kTeiRow], m);
            break;
        }
        case CFinding::kProgramme:
            if (m_nProgrammes++ < kMaxProgrammes) m_programmes.push_back(f);
            break;
        case CFinding::kPresentEvent:
            if (m_nEvents++ < kMaxProgrammes) m_events.push_back(f);
            break;
        default:
            break;
    }
}

void CHtmlReport::Finish(const CCheckStats& stats) {
    m_info.verdict = stats.verdict;
    m_info.hasElapsed = stats.hasElapsed;
    m_info.elapsed = stats.elapsed;
    // Written whole or not at all: an older page stays until this one is
    // complete, and a full disk leaves no truncated page.
    m_info.written = CReplacingFile::Write(m_path, Page(stats));
}

namespace {

// The axis of the timeline: its unit, span and ticks.
struct CAxis {
    int kind = CHtmlMark::kOffset;
    double lo = 0, hi = 1;
    double X(double v) const { return kLeft + (v - lo) / (hi - lo) * CHtmlReport::kWidth; }
};

std::string Ticks(const CAxis& axis) {
    std::string svg = "<g class=\"axis\">\n";
    const double span = axis.hi - axis.lo;
    double step = 1;
    if (axis.kind == CHtmlMark::kOffset) {
        // 1, 2, 5 times a power of ten bytes.
        for (double p = 1;; p *= 10) {
            if (span / p <= 10) { step = p; break; }
            if (span / (2 * p) <= 10) { step = 2 * p; break; }
            if (span / (5 * p) <= 10) { step = 5 * p; break; }
        }
    } else {
        static const double kSeconds[] = {1, 2, 5, 10, 15, 30, 60, 120, 300, 600, 900, 1800, 3600, 7200, 10800, 21600, 43200, 86400};
        const double perSecond = axis.kind == CHtmlMark::kAt ? 1000.0 : double(CPcrClock::kTicksPerSecond);
        step = 86400 * perSecond;
        for (const double s : kSeconds) {
            if (span / (s * perSecond) <= 12) {
                step = s * perSecond;
                break;
            }
        }
    }
    const double first = std::ceil(axis.lo / step) * step;
    for (double v = first; v <= axis.hi + 1e-9; v += step) {
        const double x = axis.X(v);
        std::string label;
        if (axis.kind == CHtmlMark::kAt) {
            label = FormatClock(static_cast<int64_t>(v), false);
            if (step >= 60000) label = label.substr(0, 5);
        } else if (axis.kind == CHtmlMark::kElapsed) {
            const auto s = static_cast<long long>(v / double(CPcrClock::kTicksPerSecond) + 0.5);
            char t[32];
            if (step >= 60 * double(CPcrClock::kTicksPerSecond)) std::snprintf(t, sizeof t, "%lld:%02lld", s / 60, s % 60);
            else std::snprintf(t, sizeof t, "%lld s", s);
            label = t;
        } else {
            char t[32];
            if (step >= 1e6) std::snprintf(t, sizeof t, "%g MB", v / 1e6);
            else if (step >= 1e3) std::snprintf(t, sizeof t, "%g kB", v / 1e3);
            else std::snprintf(t, sizeof t, "%g", v);
            label = t;
        }
        char line[160];
        std::snprintf(line, sizeof line, "<line x1=\"%.1f\" y1=\"24\" x2=\"%.1f\" y2=\"%s\"/>", x, x, "100%");
        svg += line;
        std::snprintf(line, sizeof line, "<text x=\"%.1f\" y=\"16\" text-anchor=\"middle\">", x);
        svg += line + label + "</text>\n";
    }
    return svg + "</g>\n";
}

}  // namespace

std::string CHtmlReport::Page(const CCheckStats& stats) {
    const CVerdict& v = stats.verdict;
    std::string h;
    h.reserve(64 * 1024);
    const std::string file = Escape(m_file);
    h += "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
         "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>tsvigil: " +
         file + "</title>\n<style>" + kStyle + "</style>\n</head>\n<body>\n";

    // (1) The verdict: words, a symbol, a colour and a pattern.
    const char* cls = v.Ok() ? "v-ok" : (v.unreadable || v.unrecognised || v.empty) ? "v-none" : "v-bad";
    const char* symbol = v.Ok() ? "\xE2\x9C\x94" : "\xE2\x9C\x98";  // check mark, ballot x
    h += "<div id=\"verdict\" class=\"" + std::string(cls) + "\">" + Escape(v.Line()) + " <span aria-hidden=\"true\">" +
         symbol + "</span></div>\n";

    // (2) The facts.
    h += "<h1>" + file + "</h1>\n<dl>\n<dt>file</dt><dd>" + file + "</dd>\n";
    h += "<dt>size</dt><dd>" + std::to_string(stats.bytes) + " bytes</dd>\n";
    h += "<dt>packet size</dt><dd>" + (stats.packetSize ? std::to_string(stats.packetSize) + " bytes" : "none") + "</dd>\n";
    h += "<dt>duration</dt><dd>" + (stats.hasElapsed ? FormatTicks(stats.elapsed, true) + " s (elapsed, from the PCR)" : "no PCR") + "</dd>\n";
    if (stats.tots == 0) {
        h += "<dt>TOT</dt><dd>none</dd>\n";
    } else {
        h += "<dt>first TOT</dt><dd>" + FormatTime(stats.firstTot, stats.firstTotValid, CTimeStyle::kReport) + "</dd>\n";
        h += "<dt>last TOT</dt><dd>" + FormatTime(stats.lastTot, stats.lastTotValid, CTimeStyle::kReport) + "</dd>\n";
    }
    std::map<int, std::string> serviceNames;
    if (stats.roles) {
        for (const auto& s : stats.roles->Services()) {
            serviceNames[s.first] = m_conv.Convert(s.second);
            h += "<dt>service " + std::to_string(s.first) + "</dt><dd>" + Escape(serviceNames[s.first]) + "</dd>\n";
        }
    }
    h += "</dl>\n";

    // (3) The timeline.
    CAxis axis;
    axis.kind = m_hasFirstRef || m_seen[CHtmlMark::kAt] ? CHtmlMark::kAt
                : (m_seen[CHtmlMark::kElapsed] || stats.hasElapsed) ? CHtmlMark::kElapsed
                                                                     : CHtmlMark::kOffset;
    int64_t lo = 0, hi = 0;
    if (axis.kind == CHtmlMark::kAt) {
        lo = m_min[CHtmlMark::kAt];
        hi = m_max[CHtmlMark::kAt];
        if (m_hasFirstRef) lo = std::min(lo, m_firstRefAt - m_firstRefElapsed / CPcrClock::kTicksPerMs);
        if (m_hasLastRef && stats.hasElapsed) hi = std::max(hi, m_lastRefAt + (stats.elapsed - m_lastRefElapsed) / CPcrClock::kTicksPerMs);
        if (stats.lastTotValid) hi = std::max(hi, stats.lastTot.Seconds() * 1000);
    } else if (axis.kind == CHtmlMark::kElapsed) {
        lo = 0;
        hi = std::max(stats.elapsed, m_max[CHtmlMark::kElapsed]);
    } else {
        lo = 0;
        hi = std::max<int64_t>(stats.bytes, m_max[CHtmlMark::kOffset]);
    }
    if (hi <= lo) hi = lo + (axis.kind == CHtmlMark::kAt ? 1000 : axis.kind == CHtmlMark::kElapsed ? CPcrClock::kTicksPerSecond : 188);
    axis.lo = static_cast<double>(lo);
    axis.hi = static_cast<double>(hi);
    const int a = axis.kind;
    // Every mark gets a place on the axis: broadcast time from elapsed
    // before the first TOT; the axis' start when nothing places it.
    auto place = [&](CHtmlMark& m) {
        if (m.has[a]) return;
        m.has[a] = true;
        if (a == CHtmlMark::kAt && m.has[CHtmlMark::kElapsed] && m_hasFirstRef) {
            m.from[a] = m_firstRefAt + (m.from[CHtmlMark::kElapsed] - m_firstRefElapsed) / CPcrClock::kTicksPerMs;
            m.to[a] = m_firstRefAt + (m.to[CHtmlMark::kElapsed] - m_firstRefElapsed) / CPcrClock::kTicksPerMs;
        } else {
            m.from[a] = m.to[a] = lo;
        }
    };
    const double unit = (axis.hi - axis.lo) / kWidth;
    std::vector<CHtmlMark> rows[kRows + 1];
    for (int r = 0; r < kRows; ++r) rows[r] = std::move(m_rows[r]);
    for (auto& p : m_losses) {
        if (IsPictureOrSound(stats.roles, p.first)) continue;
        for (auto& m : p.second) rows[kRows].push_back(std::move(m));
    }
    m_losses.clear();
    for (auto& row : rows) {
        for (auto& m : row) place(m);
        MergeMarks(row, a, unit);
    }

    const char* axisName = a == CHtmlMark::kAt ? "broadcast time (JST, from the PCR and the TOT)"
                           : a == CHtmlMark::kElapsed ? "elapsed seconds since the first PCR (no TOT)"
                                                       : "byte offset in the file (no PCR, no TOT)";
    std::set<int> services;
    if (a == CHtmlMark::kAt) {
        for (const auto& f : m_programmes) services.insert(f.serviceId);
    }
    struct CRowInfo { const char* cls; const char* label; int index; };
    const CRowInfo rowInfo[] = {
        {"damage", "picture and sound damage", kDamageRow}, {"loss", "other losses", kRows},
        {"scrambled", "scrambled", kScrambledRow},          {"tei", "transport errors", kTeiRow},
        {"sync", "lost sync", kSyncRow},                    {"gap", "gaps", kGapRow},
    };
    const int height = 30 + kRowHeight * static_cast<int>(services.size() + 6) + 6;
    char buf[512];
    h += "<h2>Timeline</h2>\n<p>x axis: " + std::string(axisName) +
         ". Each mark stands for the findings closer than a pixel; its title holds the exact times.</p>\n";
    std::snprintf(buf, sizeof buf,
                  "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 %d %d\" role=\"img\" "
                  "aria-label=\"timeline\">\n<defs><pattern id=\"hatch\" width=\"6\" height=\"6\" "
                  "patternUnits=\"userSpaceOnUse\" patternTransform=\"rotate(45)\"><rect width=\"6\" height=\"6\" "
                  "fill=\"#fff\"/><line x1=\"0\" y1=\"0\" x2=\"0\" y2=\"6\" stroke=\"#333\" stroke-width=\"3\"/>"
                  "</pattern></defs>\n",
                  kLeft + kWidth + 10, height);
    h += buf;
    h += Ticks(axis);
    int y = 30;
    for (const int sid : services) {
        const std::string sname = serviceNames.count(sid) ? serviceNames[sid] : "";
        std::snprintf(buf, sizeof buf, "<text x=\"4\" y=\"%d\">service %d ", y + 15, sid);
        h += buf + Escape(Shorten(sname, 10)) + "</text>\n";
        for (const auto& f : m_programmes) {
            if (f.serviceId != sid || f.coverage < 0) continue;
            const int64_t start = f.start.Seconds() * 1000, end = start + f.duration * 1000;
            if (end < lo || start > hi) continue;
            const double x0 = axis.X(static_cast<double>(std::max(start, lo)));
            const double x1 = axis.X(static_cast<double>(std::min(end, hi)));
            const std::string name = Escape(m_conv.Convert(f.name));
            std::snprintf(buf, sizeof buf,
                          "<g><rect class=\"band%s\" data-service=\"%d\" data-start=\"%s\" data-end=\"%s\" x=\"%.1f\" "
                          "y=\"%d\" width=\"%.1f\" height=\"%d\" data-name=\"",
                          f.recorded ? " recorded" : "", sid, Iso(start).c_str(), Iso(end).c_str(), x0, y + 2,
                          std::max(1.0, x1 - x0), kRowHeight - 4);
            h += buf + name + "\"><title>" + name + " " + FormatClock(start, false) + "-" + FormatClock(end, false) +
                 (f.recorded ? " (the recorded programme)" : "") + "; recorded " + FormatClock(f.at) + "-" + FormatClock(f.toAt) +
                 "</title></rect>";
            const size_t fits = static_cast<size_t>((x1 - x0) / 13);
            if (fits >= 3) {
                std::snprintf(buf, sizeof buf, "<text x=\"%.1f\" y=\"%d\">", x0 + 3, y + 15);
                h += buf + std::string(f.recorded ? "\xE2\x96\xB6 " : "") + Escape(Shorten(m_conv.Convert(f.name), fits)) +
                     "</text>";
            }
            h += "</g>\n";
        }
        y += kRowHeight;
    }
    for (const auto& ri : rowInfo) {
        std::snprintf(buf, sizeof buf, "<text x=\"4\" y=\"%d\">%s</text>\n", y + 15, ri.label);
        h += buf;
        for (const auto& m : rows[ri.index]) {
            const double x0 = axis.X(static_cast<double>(m.from[a]));
            const double x1 = axis.X(static_cast<double>(std::max(m.from[a], m.to[a])));
            std::snprintf(buf, sizeof buf,
                          "<rect class=\"mark %s\" x=\"%.1f\" y=\"%d\" width=\"%.1f\" height=\"%d\" data-count=\"%" PRIu64
                          "\" data-from=\"%s\" data-to=\"%s\"><title>",
                          ri.cls, x0, y + 3, std::max(1.0, x1 - x0), kRowHeight - 6, m.count,
                          PlaceText(a, m.from[a]).c_str(), PlaceText(a, m.to[a]).c_str());
            std::string title = ri.label;
            title += ": ";
            if (m.has[CHtmlMark::kAt] && a == CHtmlMark::kAt)
                title += FormatClock(m.from[CHtmlMark::kAt]) + " to " + FormatClock(m.to[CHtmlMark::kAt]) + "; ";
            if (m.has[CHtmlMark::kElapsed])
                title += "elapsed " + FormatTicks(m.from[CHtmlMark::kElapsed], true) + " to " +
                         FormatTicks(m.to[CHtmlMark::kElapsed], true) + " s; ";
            if (m.has[CHtmlMark::kOffset])
                title += "offset " + std::to_string(m.from[CHtmlMark::kOffset]) + " to " +
                         std::to_string(m.to[CHtmlMark::kOffset]) + "; ";
            if (!m.pids.empty()) {
                title += "pids";
                for (const int pid : m.pids) title += " " + Hex(pid);
                title += "; ";
            }
            const bool ranges = ri.index == kDamageRow || ri.index == kScrambledRow || ri.index == kTeiRow;
            title += Number(m.count) + (ranges ? " ranges" : ri.index == kGapRow ? " gaps" : " findings");
            if (ri.index == kDamageRow) title += ", " + Number(m.packets) + " packets lost, " + Number(m.errors) + " with errors";
            else if (ranges) title += ", " + Number(m.packets) + " packets, " + Number(m.errors) + " of picture and sound";
            else if (ri.index == kGapRow) title += ", " + FormatTicks(static_cast<int64_t>(m.packets), true) + " s missing" + (m.errors ? ", clock resets" : "");
            else if (ri.index == kRows) title += ", " + Number(m.packets) + " packets lost";
            else if (ri.index != kSyncRow) title += ", " + Number(m.packets) + " packets";
            if (m.lateStarts)
                title += "; " + Number(m.lateStarts) + " begun before the clock was known, drawn from the first time known";
            h += buf + title + "</title></rect>\n";
        }
        y += kRowHeight;
    }
    h += "</svg>\n<div id=\"hover\" aria-live=\"polite\"></div>\n"
         "<script>for(const e of document.querySelectorAll('svg .mark,svg .band'))e.addEventListener('mouseenter',"
         "()=>{document.getElementById('hover').textContent=e.querySelector('title').textContent;});</script>\n";

    // (4) The tables.
    h += "<h2>PIDs</h2>\n<table>\n<tr><th>pid</th><th>role</th><th>class</th><th>packets</th><th>lost</th>"
         "<th>duplicates</th><th>errors</th><th>scrambled</th></tr>\n";
    for (int pid = 0; pid < kPidCount; ++pid) {
        const CPidCounts& c = stats.pids[static_cast<size_t>(pid)];
        if (c.packets == 0) continue;
        const std::string role = RoleWithServices(stats.roles, pid);
        h += "<tr><td>" + Hex(pid) + "</td><td>" + Escape(role) + "</td><td>" +
             ClassName(stats.roles, pid) + "</td><td class=\"n\">" + Number(c.packets) +
             "</td><td class=\"n\">" + Number(c.lost) + "</td><td class=\"n\">" + Number(c.duplicates) +
             "</td><td class=\"n\">" + Number(c.transportErrors) + "</td><td class=\"n\">" + Number(c.scrambled) +
             "</td></tr>\n";
    }
    h += "</table>\n<h2>Damaged ranges</h2>\n";
    if (m_nRanges == 0) {
        h += "<p>none</p>\n";
    } else {
        h += "<table>\n<tr><th>#</th><th>broadcast time</th><th>elapsed</th><th>offset</th><th>pids</th>"
             "<th>lost</th><th>with errors</th></tr>\n";
        for (const auto& r : m_ranges) h += r;
        h += "</table>\n";
        if (m_nRanges > m_ranges.size()) h += "<p>" + Number(m_nRanges - m_ranges.size()) + " more</p>\n";
    }
    h += "<h2>Programmes</h2>\n";
    if (!m_programmes.empty()) {
        h += "<table>\n<tr><th>service</th><th>event</th><th>name</th><th>start &ndash; end</th><th>recorded</th>"
             "<th>missing (start, end, inside)</th><th>coverage</th></tr>\n";
        for (const auto& f : m_programmes) {
            h += "<tr><td>" + std::to_string(f.serviceId) + "</td><td>" + std::to_string(f.eventId) + "</td><td>" +
                 (f.recorded ? "<strong>\xE2\x96\xB6 " : "") + Escape(m_conv.Convert(f.name)) +
                 (f.recorded ? " (recorded programme)</strong>" : "") + "</td>";
            if (f.coverage < 0) {
                h += "<td colspan=\"4\">start or duration undefined: no coverage</td></tr>\n";
                continue;
            }
            const int64_t start = f.start.Seconds() * 1000;
            char cov[32];
            std::snprintf(cov, sizeof cov, "%.1f %%", f.coverage * 100);
            h += "<td>" + FormatClock(start, false) + " &ndash; " + FormatClock(start + f.duration * 1000, false) + "</td><td>" +
                 FormatClock(f.at) + " &ndash; " + FormatClock(f.toAt) + "</td><td>" + FormatSeconds(f.missingStart) +
                 " s, " + FormatSeconds(f.missingEnd) + " s, " + FormatSeconds(f.missingInside) +
                 " s</td><td class=\"n\">" + cov + "</td></tr>\n";
        }
        h += "</table>\n";
        if (m_nProgrammes > m_programmes.size()) h += "<p>" + Number(m_nProgrammes - m_programmes.size()) + " more</p>\n";
    } else if (!m_events.empty()) {
        h += "<p>No coverage (it needs the PCR and a TOT); the present programmes as the EIT named them:</p>\n"
             "<table>\n<tr><th>service</th><th>event</th><th>name</th><th>start</th><th>duration</th></tr>\n";
        for (const auto& f : m_events) {
            h += "<tr><td>" + std::to_string(f.serviceId) + "</td><td>" + std::to_string(f.eventId) + "</td><td>" +
                 Escape(m_conv.Convert(f.name)) + "</td><td>" + FormatTime(f.start, f.hasStart, CTimeStyle::kReport) +
                 "</td><td class=\"n\">" + (f.duration >= 0 ? std::to_string(f.duration) + " s" : "undefined") +
                 "</td></tr>\n";
        }
        h += "</table>\n";
        if (m_nEvents > m_events.size()) h += "<p>" + Number(m_nEvents - m_events.size()) + " more</p>\n";
    } else {
        h += "<p>none</p>\n";
    }
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

}  // namespace

bool WriteHtmlIndex(const std::string& dir, const std::vector<std::string>& files,
                    const std::vector<std::string>& pages, const std::vector<CHtmlPageInfo>& infos) {
    std::string h = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>tsvigil: " +
                    std::to_string(files.size()) + " files</title>\n<style>" + kStyle +
                    "td.v-ok,td.v-bad,td.v-none{font-weight:bold}</style>\n</head>\n<body>\n<h1>" +
                    std::to_string(files.size()) +
                    " files</h1>\n<table>\n<tr><th>file</th><th>verdict</th><th>duration</th><th>figures</th></tr>\n";
    for (size_t i = 0; i < files.size() && i < pages.size() && i < infos.size(); ++i) {
        const CVerdict& v = infos[i].verdict;
        std::string words;
        for (const char* w : v.Words()) words += std::string(words.empty() ? "" : ", ") + w;
        const std::string line = v.Line();
        const size_t paren = line.find(" (");
        const std::string figures = paren == std::string::npos ? "" : line.substr(paren + 2, line.size() - paren - 3);
        const char* cls = v.Ok() ? "v-ok" : (v.unreadable || v.unrecognised || v.empty) ? "v-none" : "v-bad";
        // Only the pages this run wrote are linked: where one could not be
        // written, an older page of that name may remain, of another file.
        const std::string name = CHtmlReport::Escape(files[i]);
        h += "<tr><td>" +
             (infos[i].written ? "<a href=\"" + CHtmlReport::Escape(UrlPath(pages[i])) + "\">" + name + "</a>" : name) +
             "</td><td class=\"" + cls + "\">" + (v.Ok() ? "\xE2\x9C\x94 " : "\xE2\x9C\x98 ") + words +
             "</td><td class=\"n\">" + (infos[i].hasElapsed ? FormatTicks(infos[i].elapsed, true) + " s" : "no PCR") +
             "</td><td>" + CHtmlReport::Escape(figures) + "</td></tr>\n";
    }
    h += "</table>\n</body>\n</html>\n";
    return CReplacingFile::Write(dir + "/index.html", h);
}
