// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "check/Output.h"
#include "check/Verdict.h"
#include "text/Utf8.h"

// What a page tells the index of several files: the verdict and the
// elapsed time, and whether the page reached its file.
struct CHtmlPageInfo {
    bool written = false;
    CVerdict verdict;
    bool hasElapsed = false;
    int64_t elapsed = 0;  // 27 MHz ticks
};

// One mark of the timeline: one finding, or neighbours closer than a
// pixel merged into one. Places are kept on every axis the findings had:
// broadcast time (ms, JST), elapsed (27 MHz ticks), byte offset.
struct CHtmlMark {
    enum Axis { kAt, kElapsed, kOffset, kAxes };
    bool has[kAxes] = {};
    int64_t from[kAxes] = {};
    int64_t to[kAxes] = {};
    uint64_t count = 0;    // the findings or ranges it stands for
    uint64_t packets = 0;  // lost, scrambled or flagged, as the row counts
    // Damage: of them, with the transport error indicator; scrambled and
    // transport-error ranges: of them, on picture and sound PIDs.
    uint64_t errors = 0;
    uint64_t lateStarts = 0;  // damage: of them, begun before the clock could time them
    std::vector<int> pids;  // the first few, sorted

    // Takes o into this mark: counts summed, bounds widened, PIDs joined.
    void Absorb(const CHtmlMark& o);
};

// Merges the marks whose places on axis lie less than unit apart (they
// would share a pixel), summing their counts; marks without a place on
// axis stay as they are. The marks come out sorted by their start.
void MergeMarks(std::vector<CHtmlMark>& marks, int axis, double unit);

// The findings of one recording as one self-contained HTML page: the
// verdict, the facts, a timeline (inline SVG) of the programmes and of
// every kind of damage, and tables of the PIDs, the damaged ranges and the
// programmes. What the page needs is kept as the findings come: marks on
// the timeline (merged once a row grows long, so memory stays bounded
// whatever the damage), the first damaged ranges and the programmes. The
// page is written by Finish().
class CHtmlReport : public COutput {
public:
    // path: the page's file; file: the input's name as given, or null.
    CHtmlReport(std::string path, const char* file);

    void On(const CFinding& f) override;
    void Finish(const CCheckStats& stats) override;
    bool WantsRoles() const override { return true; }

    const CHtmlPageInfo& Info() const { return m_info; }
    // Bytes the kept findings take now (marks, ranges, programmes), roughly.
    size_t KeptBytes() const;

    // Plot width of the timeline in pixels.
    static constexpr int kWidth = 1000;
    // Rows longer than this are merged at the pixel the axis has so far.
    static constexpr size_t kMaxMarks = 2 * kWidth;
    static constexpr size_t kMaxRanges = 200;
    static constexpr size_t kMaxProgrammes = 1000;

    // UTF-8 text for HTML text and attribute values: invalid sequences
    // replaced, & < > " ' as references, control characters as spaces.
    static std::string Escape(const std::string& utf8);

private:
    enum Row { kDamageRow, kScrambledRow, kTeiRow, kSyncRow, kGapRow, kRows };
    void Add(std::vector<CHtmlMark>& row, const CHtmlMark& m);
    void Seen(const CFinding& f);
    int BestAxis() const;
    std::string Page(const CCheckStats& stats);

    std::string m_path;
    std::string m_file;
    CSjisToUtf8 m_conv;
    CHtmlPageInfo m_info;

    std::vector<CHtmlMark> m_rows[kRows];
    std::map<int, std::vector<CHtmlMark>> m_losses;  // continuity errors per PID
    // The span of every place seen, per axis, for the merge as they come.
    bool m_seen[CHtmlMark::kAxes] = {};
    int64_t m_min[CHtmlMark::kAxes] = {};
    int64_t m_max[CHtmlMark::kAxes] = {};
    // A finding placed on both clocks: how elapsed maps to broadcast time
    // before the first TOT, and where the recording starts and ends.
    bool m_hasFirstRef = false;
    int64_t m_firstRefAt = 0, m_firstRefElapsed = 0;
    bool m_hasLastRef = false;
    int64_t m_lastRefAt = 0, m_lastRefElapsed = 0;

    std::vector<std::string> m_ranges;  // table rows of the first kMaxRanges
    uint64_t m_nRanges = 0;
    std::vector<CFinding> m_programmes;  // kProgramme, the first kMaxProgrammes
    std::vector<CFinding> m_events;      // kPresentEvent, shown when no programme is
    uint64_t m_nProgrammes = 0, m_nEvents = 0;
};

// Writes index.html into dir: per file its name, verdict, elapsed time,
// the verdict's figures and a link to its page (pages[i], a name in dir).
// Returns false when it cannot be written.
bool WriteHtmlIndex(const std::string& dir, const std::vector<std::string>& files,
                    const std::vector<std::string>& pages, const std::vector<CHtmlPageInfo>& infos);
