// SPDX-License-Identifier: BSD-2-Clause
#include "report/HtmlTimeline.h"

#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <set>
#include <utility>

#include "check/CheckStats.h"
#include "check/PidRoles.h"
#include "check/Timeline.h"
#include "report/HtmlReport.h"
#include "report/HtmlStyle.h"
#include "report/TimeFormat.h"

namespace tsvigil {

namespace {

constexpr int kLeft = 160;  // the rows' names left of the plot
constexpr int kRowHeight = 22;

// A broadcast time in ms as ISO 8601 with milliseconds, unquoted.
std::string Iso(int64_t ms) {
    const std::string q = FormatMilliseconds(ms, true);
    return q.substr(1, q.size() - 2);
}

// The place of a mark's bound on an axis, as data-from/data-to give it.
std::string PlaceText(Scale axis, int64_t v) {
    if (axis == Scale::kAt) return Iso(v);
    if (axis == Scale::kElapsed) return FormatTicks(v, true);
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

// UTF-8 text cut to about px pixels of 12 px type, with an ellipsis when
// cut: a wide character (kana, kanji, full-width forms) is taken as 12 px,
// any other as 7 px, more than most fonts give them, so that the text
// stays short of what follows it.
std::string FitWidth(const std::string& s, int px) {
    int width = 0;
    size_t cut = 0;
    for (size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        const size_t len = std::min<size_t>(c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4, s.size() - i);
        // From U+1100: a lead byte above 0xE1, or 0xE1 followed by 0x84 or more.
        const bool wide = c >= 0xE2 || (c == 0xE1 && len > 1 && static_cast<unsigned char>(s[i + 1]) >= 0x84);
        width += wide ? 12 : 7;
        i += len;
        if (width <= px - 12) cut = i;  // room left for the ellipsis
    }
    if (width <= px) return s;
    return s.substr(0, cut) + "\xE2\x80\xA6";
}

}  // namespace

void HtmlMark::Absorb(const HtmlMark& o) {
    for (const Scale a : kScales) {
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
    if (!o.names.empty() && names != o.names) {
        std::set<std::string> all;
        const std::string* lists[] = {&names, &o.names};
        for (const std::string* list : lists) {
            size_t at = 0;
            while (at < list->size()) {
                const size_t end = std::min(list->find(' ', at), list->size());
                if (end > at) all.insert(list->substr(at, end - at));
                at = end + 1;
            }
        }
        names.clear();
        for (const auto& n : all) names += (names.empty() ? "" : " ") + n;
    }
    for (const int pid : o.pids) {
        const auto it = std::lower_bound(pids.begin(), pids.end(), pid);
        if (it != pids.end() && *it == pid) continue;
        if (pids.size() < kMaxPids) pids.insert(it, pid);
    }
}

void MergeMarks(std::vector<HtmlMark>& marks, Scale axis, double unit) {
    // std::sort, not stable_sort: no temporary buffer, and marks that tie
    // merge whatever their order.
    std::sort(marks.begin(), marks.end(), [axis](const HtmlMark& a, const HtmlMark& b) {
        if (a.has[axis] != b.has[axis]) return !a.has[axis];
        if (!a.has[axis]) return false;
        return a.from[axis] != b.from[axis] ? a.from[axis] < b.from[axis] : a.to[axis] < b.to[axis];
    });
    std::vector<HtmlMark> merged;
    merged.reserve(marks.size());
    for (auto& m : marks) {
        if (!merged.empty() && m.has[axis] && merged.back().has[axis]) {
            const HtmlMark& last = merged.back();
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

size_t HtmlTimeline::KeptBytes() const {
    auto rowBytes = [](const std::vector<HtmlMark>& row) {
        size_t n = row.capacity() * sizeof(HtmlMark);
        for (const auto& m : row) n += m.pids.capacity() * sizeof(int);
        return n;
    };
    size_t n = 0;
    for (const auto& row : m_rows.at) n += rowBytes(row);
    for (const auto& p : m_losses) n += rowBytes(p.second) + 48;
    return n;
}

Scale HtmlTimeline::BestAxis() const {
    if (m_seen[Scale::kAt]) return Scale::kAt;
    if (m_seen[Scale::kElapsed]) return Scale::kElapsed;
    return Scale::kOffset;
}

void HtmlTimeline::AddLoss(int pid, const HtmlMark& m) { Add(m_losses[pid], m); }

void HtmlTimeline::Add(Row row, const HtmlMark& m) { Add(m_rows[row], m); }

void HtmlTimeline::Add(std::vector<HtmlMark>& row, const HtmlMark& m) {
    row.push_back(m);
    if (row.size() <= kMaxMarks) return;
    // The axis only grows, so what is closer than a pixel of the span seen
    // so far stays closer than a pixel of the page's.
    const Scale axis = BestAxis();
    MergeMarks(row, axis, static_cast<double>(m_max[axis] - m_min[axis]) / kWidth);
}

void HtmlTimeline::Seen(const Finding& f) {
    auto see = [this](Scale axis, int64_t v) {
        if (!m_seen[axis]) {
            m_seen[axis] = true;
            m_min[axis] = m_max[axis] = v;
        }
        m_min[axis] = std::min(m_min[axis], v);
        m_max[axis] = std::max(m_max[axis], v);
    };
    if (f.hasAt) see(Scale::kAt, f.at);
    if (f.hasToAt) see(Scale::kAt, f.toAt);
    if (f.hasElapsed) see(Scale::kElapsed, f.elapsed);
    if (f.hasToElapsed) see(Scale::kElapsed, f.toElapsed);
    if (f.hasKnownAt) see(Scale::kAt, f.knownAt);
    if (f.hasKnownElapsed) see(Scale::kElapsed, f.knownElapsed);
    if (f.offset >= 0) see(Scale::kOffset, f.offset);
    if (f.toOffset >= 0) see(Scale::kOffset, f.toOffset);
    if (f.hasAt && f.hasElapsed && f.kind != Finding::Kind::kProgramme) {
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

double HtmlTimeline::Axis::X(double v) const { return kLeft + (v - lo) / (hi - lo) * kWidth; }

namespace {

using Axis = HtmlTimeline::Axis;

// The axis' ticks and their labels: 1, 2, 5 times a power of ten bytes, or
// round seconds, minutes and hours.
std::string Ticks(const Axis& axis) {
    std::string svg = "<g class=\"axis\">\n";
    const double span = axis.hi - axis.lo;
    double step = 1;
    if (axis.kind == Scale::kOffset) {
        // 1, 2, 5 times a power of ten bytes.
        for (double p = 1;; p *= 10) {
            if (span / p <= 10) { step = p; break; }
            if (span / (2 * p) <= 10) { step = 2 * p; break; }
            if (span / (5 * p) <= 10) { step = 5 * p; break; }
        }
    } else {
        static const double kSeconds[] = {1, 2, 5, 10, 15, 30, 60, 120, 300, 600, 900, 1800, 3600, 7200, 10800, 21600, 43200, 86400};
        const double perSecond = axis.kind == Scale::kAt ? 1000.0 : double(PcrClock::kTicksPerSecond);
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
        if (axis.kind == Scale::kAt) {
            label = FormatClock(static_cast<int64_t>(v), false);
            if (step >= 60000) label = label.substr(0, 5);
        } else if (axis.kind == Scale::kElapsed) {
            const auto s = static_cast<long long>(v / double(PcrClock::kTicksPerSecond) + 0.5);
            char t[32];
            if (step >= 60 * double(PcrClock::kTicksPerSecond)) std::snprintf(t, sizeof t, "%lld:%02lld", s / 60, s % 60);
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

// A row of marks: its class, its name on the page, and which of the rows
// (kRows: the other losses) it draws.
struct RowInfo {
    const char* cls;
    const char* label;
    HtmlTimeline::Row index;
};
const RowInfo kRowInfo[] = {
    {"damage", "picture and sound damage", HtmlTimeline::Row::kDamage}, {"loss", "other losses", HtmlTimeline::Row::kLoss},
    {"scrambled", "scrambled", HtmlTimeline::Row::kScrambled},          {"tei", "transport errors", HtmlTimeline::Row::kTei},
    {"sync", "lost sync", HtmlTimeline::Row::kSync},                    {"gap", "gaps", HtmlTimeline::Row::kGap},
    {"indicator", "timing (TR 101 290)", HtmlTimeline::Row::kIndicator},
};

// A mark's title: its row, its places, its PIDs and what it counts.
std::string MarkTitle(const RowInfo& ri, const HtmlMark& m, Scale a) {
    std::string title = ri.label;
    title += ": ";
    if (m.has[Scale::kAt] && a == Scale::kAt)
        title += FormatClock(m.from[Scale::kAt]) + " to " + FormatClock(m.to[Scale::kAt]) + "; ";
    if (m.has[Scale::kElapsed])
        title += "elapsed " + FormatTicks(m.from[Scale::kElapsed], true) + " to " +
                 FormatTicks(m.to[Scale::kElapsed], true) + " s; ";
    if (m.has[Scale::kOffset])
        title += "offset " + std::to_string(m.from[Scale::kOffset]) + " to " +
                 std::to_string(m.to[Scale::kOffset]) + "; ";
    if (!m.pids.empty()) {
        title += "pids";
        for (const int pid : m.pids) title += " " + HtmlPid(pid);
        title += "; ";
    }
    const bool ranges = ri.index == HtmlTimeline::Row::kDamage || ri.index == HtmlTimeline::Row::kScrambled ||
                        ri.index == HtmlTimeline::Row::kTei;
    const std::string count = std::to_string(m.count), packets = std::to_string(m.packets);
    const bool indicator = ri.index == HtmlTimeline::Row::kIndicator;
    title += count + (ranges ? " ranges" : ri.index == HtmlTimeline::Row::kGap ? " gaps" : indicator ? " occurrences" : " findings");
    if (indicator) title += " of " + m.names;
    if (ri.index == HtmlTimeline::Row::kDamage)
        title += ", " + packets + " packets lost, " + std::to_string(m.errors) + " with errors";
    else if (ranges)
        title += ", " + packets + " packets, " + std::to_string(m.errors) + " of picture and sound";
    else if (ri.index == HtmlTimeline::Row::kGap)
        title += ", " + FormatTicks(static_cast<int64_t>(m.packets), true) + " s missing" + (m.errors ? ", clock resets" : "");
    else if (ri.index == HtmlTimeline::Row::kLoss)
        title += ", " + packets + " packets lost";
    else if (ri.index != HtmlTimeline::Row::kSync && !indicator)
        title += ", " + packets + " packets";
    if (m.lateStarts)
        title += "; " + std::to_string(m.lateStarts) + " begun before the clock was known, drawn from the first time known";
    return title;
}

// One row of marks at height y, its name left of the plot.
std::string MarkRow(const Axis& axis, const RowInfo& ri, const std::vector<HtmlMark>& row, int y) {
    const Scale a = axis.kind;
    char buf[512];
    std::snprintf(buf, sizeof buf, "<text x=\"4\" y=\"%d\">%s</text>\n", y + 15, ri.label);
    std::string h = buf;
    for (const auto& m : row) {
        const double x0 = axis.X(static_cast<double>(m.from[a]));
        const double x1 = axis.X(static_cast<double>(std::max(m.from[a], m.to[a])));
        std::snprintf(buf, sizeof buf,
                      "<rect class=\"mark %s\" x=\"%.1f\" y=\"%d\" width=\"%.1f\" height=\"%d\"%s%s%s data-count=\"%" PRIu64
                      "\" data-from=\"%s\" data-to=\"%s\"><title>",
                      ri.cls, x0, y + 3, std::max(1.0, x1 - x0), kRowHeight - 6,
                      ri.index == HtmlTimeline::Row::kIndicator ? " data-name=\"" : "", m.names.c_str(),
                      ri.index == HtmlTimeline::Row::kIndicator ? "\"" : "", m.count,
                      PlaceText(a, m.from[a]).c_str(), PlaceText(a, m.to[a]).c_str());
        h += buf + MarkTitle(ri, m, a) + "</title></rect>\n";
    }
    return h;
}

}  // namespace

HtmlTimeline::Axis HtmlTimeline::MakeAxis(const CheckStats& stats) const {
    Axis axis;
    axis.kind = m_hasFirstRef || m_seen[Scale::kAt] ? Scale::kAt
                : (m_seen[Scale::kElapsed] || stats.hasElapsed) ? Scale::kElapsed
                                                                     : Scale::kOffset;
    int64_t lo = 0, hi = 0;
    if (axis.kind == Scale::kAt) {
        lo = m_min[Scale::kAt];
        hi = m_max[Scale::kAt];
        if (m_hasFirstRef) lo = std::min(lo, BroadcastMs(m_firstRefAt, m_firstRefElapsed, 0));
        if (m_hasLastRef && stats.hasElapsed) hi = std::max(hi, BroadcastMs(m_lastRefAt, m_lastRefElapsed, stats.elapsed));
        if (stats.lastTotValid) hi = std::max(hi, stats.lastTot.Seconds() * 1000);
    } else if (axis.kind == Scale::kElapsed) {
        lo = 0;
        hi = std::max(stats.elapsed, m_max[Scale::kElapsed]);
    } else {
        lo = 0;
        hi = std::max<int64_t>(stats.bytes, m_max[Scale::kOffset]);
    }
    if (hi <= lo) hi = lo + (axis.kind == Scale::kAt ? 1000 : axis.kind == Scale::kElapsed ? PcrClock::kTicksPerSecond : 188);
    axis.from = lo;
    axis.to = hi;
    axis.lo = static_cast<double>(lo);
    axis.hi = static_cast<double>(hi);
    return axis;
}

// Every mark gets a place on the axis: broadcast time from elapsed before
// the first TOT; the axis' start when nothing places it.
void HtmlTimeline::Place(const Axis& axis, HtmlMark& m) const {
    const Scale a = axis.kind;
    if (m.has[a]) return;
    m.has[a] = true;
    if (a == Scale::kAt && m.has[Scale::kElapsed] && m_hasFirstRef) {
        m.from[a] = BroadcastMs(m_firstRefAt, m_firstRefElapsed, m.from[Scale::kElapsed]);
        m.to[a] = BroadcastMs(m_firstRefAt, m_firstRefElapsed, m.to[Scale::kElapsed]);
    } else {
        m.from[a] = m.to[a] = axis.from;
    }
}

// The row of one service at height y: its name, and a band for each of
// its programmes within the axis.
std::string HtmlTimeline::Bands(const Axis& axis, int sid, const std::string& sname, int y,
                                 const std::vector<Finding>& programmes, SjisToUtf8& conv) const {
    char buf[512];
    // The name cut to what is left of the rows' margin after "service
    // 65535 " (about 90 px), the whole of it in the title.
    std::snprintf(buf, sizeof buf, "<g><title>service %d ", sid);
    std::string h = buf + HtmlReport::Escape(sname) + "</title>";
    std::snprintf(buf, sizeof buf, "<text x=\"4\" y=\"%d\">service %d ", y + 15, sid);
    h += buf + HtmlReport::Escape(FitWidth(sname, kLeft - 4 - 90 - 6)) + "</text></g>\n";
    for (const auto& f : programmes) {
        if (f.serviceId != sid || f.coverage < 0) continue;
        const int64_t start = f.start.Seconds() * 1000, end = start + f.duration * 1000;
        if (end < axis.from || start > axis.to) continue;
        const double x0 = axis.X(static_cast<double>(std::max(start, axis.from)));
        const double x1 = axis.X(static_cast<double>(std::min(end, axis.to)));
        const std::string name = HtmlReport::Escape(conv.Convert(f.name));
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
            h += buf + std::string(f.recorded ? "\xE2\x96\xB6 " : "") +
                 HtmlReport::Escape(Shorten(conv.Convert(f.name), fits)) + "</text>";
        }
        h += "</g>\n";
    }
    return h;
}

std::string HtmlTimeline::Draw(const CheckStats& stats, const std::vector<Finding>& programmes,
                                const std::map<int, std::string>& serviceNames, SjisToUtf8& conv) {
    const Axis axis = MakeAxis(stats);
    const Scale a = axis.kind;
    const double unit = (axis.hi - axis.lo) / kWidth;
    PerRow<std::vector<HtmlMark>> rows = std::move(m_rows);
    m_rows = PerRow<std::vector<HtmlMark>>();
    for (auto& p : m_losses) {
        if (IsPictureOrSound(stats.roles, p.first)) continue;
        for (auto& m : p.second) rows[Row::kLoss].push_back(std::move(m));
    }
    m_losses.clear();
    for (auto& row : rows.at) {
        for (auto& m : row) Place(axis, m);
        MergeMarks(row, a, unit);
    }

    const char* axisName = a == Scale::kAt ? "broadcast time (JST, from the PCR and the TOT)"
                           : a == Scale::kElapsed ? "elapsed seconds since the first PCR (no TOT)"
                                                       : "byte offset in the file (no PCR, no TOT)";
    std::set<int> services;
    if (a == Scale::kAt) {
        for (const auto& f : programmes) services.insert(f.serviceId);
    }
    const int height = 30 + kRowHeight * static_cast<int>(services.size() + std::size(kRowInfo)) + 6;
    char buf[512];
    std::string h = "<h2>Timeline</h2>\n<p>x axis: " + std::string(axisName) +
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
        const auto name = serviceNames.find(sid);
        h += Bands(axis, sid, name != serviceNames.end() ? name->second : "", y, programmes, conv);
        y += kRowHeight;
    }
    for (const auto& ri : kRowInfo) {
        h += MarkRow(axis, ri, rows[ri.index], y);
        y += kRowHeight;
    }
    h += "</svg>\n<div id=\"hover\" aria-live=\"polite\"></div>\n"
         "<script>for(const e of document.querySelectorAll('svg .mark,svg .band'))e.addEventListener('mouseenter',"
         "()=>{document.getElementById('hover').textContent=e.querySelector('title').textContent;});</script>\n";
    return h;
}

}  // namespace tsvigil
