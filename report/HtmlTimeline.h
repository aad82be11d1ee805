// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "check/Output.h"
#include "text/Utf8.h"

namespace tsvigil {

// The scales a place on the timeline is measured on: broadcast time (ms,
// JST), elapsed (27 MHz ticks), byte offset.
enum class Scale : uint8_t { kAt, kElapsed, kOffset };
constexpr Scale kScales[] = {Scale::kAt, Scale::kElapsed, Scale::kOffset};

// A value for each member of the enum class E, whose members run from 0 to
// N - 1.
template <class E, class T, size_t N>
struct ByEnum {
    T at[N] = {};
    T& operator[](E e) { return at[static_cast<size_t>(e)]; }
    const T& operator[](E e) const { return at[static_cast<size_t>(e)]; }
};
template <class T>
using PerScale = ByEnum<Scale, T, 3>;

// One mark of the timeline: one finding, or neighbours closer than a
// pixel merged into one. Places are kept on every scale the findings had.
struct HtmlMark {
    static constexpr size_t kMaxPids = 8;  // PIDs a mark names; the rest are counted in its title as "..."
    PerScale<bool> has;
    PerScale<int64_t> from;
    PerScale<int64_t> to;
    uint64_t count = 0;    // the findings or ranges it stands for
    uint64_t packets = 0;  // lost, scrambled or flagged, as the row counts
    // Damage: of them, with the transport error indicator; scrambled and
    // transport-error ranges: of them, on picture and sound PIDs.
    uint64_t errors = 0;
    uint64_t lateStarts = 0;  // damage: of them, begun before the clock could time them
    std::vector<int> pids;  // the first few, sorted
    // Indicators: the names of those it stands for, space-separated, sorted.
    std::string names;

    // Takes o into this mark: counts summed, bounds widened, PIDs joined.
    void Absorb(const HtmlMark& o);
};

// Merges the marks whose places on axis lie less than unit apart (they
// would share a pixel), summing their counts; marks without a place on
// axis stay as they are. The marks come out sorted by their start.
void MergeMarks(std::vector<HtmlMark>& marks, Scale axis, double unit);

// The timeline of a recording's page: rows of marks for every kind of
// damage, kept as the findings come (merged once a row grows long, so
// memory stays bounded whatever the damage), and drawn as inline SVG over
// the bands of the programmes. The x axis is broadcast time where the
// findings had it, else elapsed time, else the byte offset.
class HtmlTimeline {
public:
    // The rows of marks; other losses are drawn from the continuity errors
    // of PIDs that turn out to carry neither picture nor sound.
    enum class Row : uint8_t { kDamage, kScrambled, kTei, kSync, kGap, kLoss, kIndicator };
    template <class T>
    using PerRow = ByEnum<Row, T, 7>;

    // Plot width in pixels.
    static constexpr int kWidth = 1000;
    // Rows longer than this are merged at the pixel the axis has so far.
    static constexpr size_t kMaxMarks = 2 * kWidth;

    // Widens the span of the axes by the places f has. A finding placed on
    // both clocks also tells how elapsed maps to broadcast time.
    void Seen(const Finding& f);
    void Add(Row row, const HtmlMark& m);
    // A continuity error's loss on pid: drawn as "other losses" unless the
    // PID turns out to carry picture or sound.
    void AddLoss(int pid, const HtmlMark& m);
    size_t KeptBytes() const;

    // The timeline as HTML: heading, SVG and the hover line. programmes
    // give the bands, serviceNames their rows' names. Takes the marks.
    std::string Draw(const CheckStats& stats, const std::vector<Finding>& programmes,
                     const std::map<int, std::string>& serviceNames, SjisToUtf8& conv);

    // The x axis: which of the places, its span, and where a value lies.
    struct Axis {
        Scale kind = Scale::kOffset;
        int64_t from = 0, to = 0;  // the span as the places have it
        double lo = 0, hi = 1;     // the same, for the drawing
        double X(double v) const;
    };

private:
    Scale BestAxis() const;
    void Add(std::vector<HtmlMark>& row, const HtmlMark& m);
    Axis MakeAxis(const CheckStats& stats) const;
    void Place(const Axis& axis, HtmlMark& m) const;
    std::string Bands(const Axis& axis, int sid, const std::string& sname, int y,
                      const std::vector<Finding>& programmes, SjisToUtf8& conv) const;

    PerRow<std::vector<HtmlMark>> m_rows;  // other losses aside
    std::map<int, std::vector<HtmlMark>> m_losses;  // continuity errors per PID
    // The span of every place seen, per axis, for the merge as they come.
    PerScale<bool> m_seen;
    PerScale<int64_t> m_min;
    PerScale<int64_t> m_max;
    // A finding placed on both clocks: how elapsed maps to broadcast time
    // before the first TOT, and where the recording starts and ends.
    bool m_hasFirstRef = false;
    int64_t m_firstRefAt = 0, m_firstRefElapsed = 0;
    bool m_hasLastRef = false;
    int64_t m_lastRefAt = 0, m_lastRefElapsed = 0;
};

}  // namespace tsvigil
