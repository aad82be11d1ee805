// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "check/Output.h"
#include "check/Verdict.h"
#include "report/HtmlTimeline.h"
#include "text/Utf8.h"

namespace tsvigil {

// What a page tells the index of several files: the verdict and the
// elapsed time, and whether the page reached its file.
struct HtmlPageInfo {
    bool written = false;
    Verdict verdict;
    bool hasElapsed = false;
    int64_t elapsed = 0;  // 27 MHz ticks
    // The recorded programme of each service that has one: its name
    // (UTF-8) and its start as the EIT gives it, "2008/06/01 12:01:17".
    struct Recorded {
        std::string name;
        std::string start;
    };
    std::vector<Recorded> recorded;
};

// The findings of one recording as one self-contained HTML page: the
// verdict, the facts, a timeline (inline SVG) of the programmes and of
// every kind of damage, and tables of the PIDs, the damaged ranges and the
// programmes. What the page needs is kept as the findings come: the
// timeline's marks (HtmlTimeline), the first damaged ranges and the
// programmes. The page is written by Finish().
class HtmlReport : public Output {
public:
    // path: the page's file; file: the input's name as given, or null.
    HtmlReport(std::string path, const char* file);

    void On(const Finding& f) override;
    void Finish(const CheckStats& stats) override;
    bool WantsRoles() const override { return true; }

    const HtmlPageInfo& Info() const { return m_info; }
    // Bytes the kept findings take now (marks, ranges, programmes), roughly.
    size_t KeptBytes() const;

    static constexpr size_t kMaxRanges = 200;
    static constexpr size_t kMaxProgrammes = 1000;

    // UTF-8 text for HTML text and attribute values: invalid sequences
    // replaced, & < > " ' as references, control characters as spaces.
    static std::string Escape(const std::string& utf8);

private:
    void OnDamage(const Finding& f);
    void OnPacketRange(const Finding& f, HtmlTimeline::Row row);
    // The page, from its head to its end, and its parts.
    std::string Page(const CheckStats& stats);
    std::string Facts(const CheckStats& stats, std::map<int, std::string>& serviceNames);
    std::string RangeTable() const;
    std::string Said(const Verdict& v) const;
    std::string ProgrammeTable();

    std::string m_path;
    std::string m_file;
    SjisToUtf8 m_conv;
    HtmlPageInfo m_info;

    HtmlTimeline m_timeline;
    std::vector<std::string> m_ranges;  // table rows of the first kMaxRanges
    uint64_t m_rangeCount = 0;
    std::vector<Finding> m_programmes;  // kProgramme, the first kMaxProgrammes
    std::vector<Finding> m_events;      // kPresentEvent, shown when no programme is
    uint64_t m_programmeCount = 0, m_eventCount = 0;
    // The gaps for the banner's words: how many, how long in all, and the
    // clock resets nothing declared.
    uint64_t m_gaps = 0, m_resets = 0;
    int64_t m_gapTicks = 0;
};

// Writes index.html into dir: a tally of the files by verdict, then per
// file its name, verdict, recorded programmes, elapsed time (h:mm:ss), the
// verdict's figures and a link to its page (pages[i], a name in dir).
// Returns false when it cannot be written.
bool WriteHtmlIndex(const std::string& dir, const std::vector<std::string>& files,
                    const std::vector<std::string>& pages, const std::vector<HtmlPageInfo>& infos);

}  // namespace tsvigil
