// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "check/Output.h"

namespace tsvigil {

// The summary after the text report: per PID in PID order its packets,
// continuity errors (the report's lines), transport-error and scrambled
// packets, packets lost, duplicates, excused discontinuities, its class
// (picture and sound, or other) and its role; a total; the sync losses;
// the first and last TOT; the services with their names (Shift_JIS, as the
// report); the verdict.
class SummaryReport : public Output {
public:
    explicit SummaryReport(std::FILE* out) : m_out(out) {}
    // Lists this many damaged ranges, then says how many more there were.
    static constexpr size_t kMaxRanges = 20;

    void On(const Finding& f) override;
    void Finish(const CheckStats& stats) override;
    bool WantsRoles() const override { return true; }

private:
    std::FILE* m_out;
    void OnProgramme(const Finding& f);
    void OnDamage(const Finding& f);
    void OnIndicator(const Finding& f);
    void WriteIndicators(const CheckStats& stats) const;

    // The occurrences of one ETSI TR 101 290 indicator, in the order found.
    struct IndicatorRow {
        std::string name;
        int priority = 0;
        std::vector<int> pids;  // ascending
        uint64_t count = 0;
        std::string first;
        std::string last;
    };
    std::vector<IndicatorRow> m_indicators;

    std::vector<std::string> m_programmes;
    std::vector<std::string> m_ranges;  // the first kMaxRanges, as printed
    uint64_t m_rangeCount = 0;
};

}  // namespace tsvigil
