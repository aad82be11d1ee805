// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstdio>

#include "check/Output.h"

namespace tsvigil {

// The classic report: one line per finding, in Shift_JIS, bracketed by TOT
// times. The first line of a block of findings is preceded by the time of
// the last TOT when that TOT printed nothing, and the next TOT after
// findings prints its own time after the counts that close the block; so
// every finding lies between the time above it and the time below it.
class TextReport : public Output {
public:
    explicit TextReport(std::FILE* out) : m_out(out) {}
    void On(const Finding& f) override;

private:
    // Prints the time of the last TOT if it is still pending; every finding
    // line but the packet size's comes right after this.
    void StampIfPending();

    std::FILE* m_out;
    bool m_stampPending = false;  // a TOT arrived whose time has not been printed
    bool m_reported = false;      // a finding line was printed since the last time line
    bool m_timeValid = false;     // of the last TOT
    TimeValue m_time;
};

}  // namespace tsvigil
