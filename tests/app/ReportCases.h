// SPDX-License-Identifier: BSD-2-Clause
#pragma once

// Table-driven report tests: each case builds a stream and names the
// report the checker must write for it.

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "tests/TestUtil.h"
#include "tools/TestStream.h"

namespace tsvigil {

namespace testutil {

const std::string kSize188 = " packet size:188.\n";

// The time stamp line of 2008-06-01 at hms ("12:34:56").
inline std::string Stamp(const char* hms) { return std::string("2008/06/01 ") + hms + "\n"; }

// A TOT of 2008-06-01 h:m:s on PID 0x0014.
inline void Tot(tsgen::StreamBuilder& b, int h, int m, int s) {
    b.AddSection(0x0014, tsgen::MakeTOT(2008, 6, 1, h, m, s));
}

struct ReportCase {
    const char* name;
    std::function<void(tsgen::StreamBuilder&)> build;
    std::string expected;
};

// Checks every case in [begin, end); each stream starts with prelude's
// packets when one is given.
inline void RunReportCases(const ReportCase* begin, const ReportCase* end,
                           const std::function<void(tsgen::StreamBuilder&)>& prelude = nullptr) {
    for (const ReportCase* c = begin; c != end; ++c) {
        SCOPED_TRACE(c->name);
        tsgen::StreamBuilder b;
        if (prelude) prelude(b);
        c->build(b);
        EXPECT_EQ(c->expected, CheckBytes(b.Data()));
    }
}

}  // namespace testutil

}  // namespace tsvigil
