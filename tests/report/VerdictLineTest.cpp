// SPDX-License-Identifier: BSD-2-Clause
#include "report/VerdictLine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/TestUtil.h"
#include "tools/Recording.h"

namespace tsvigil {

namespace {

using testutil::TempFile;
using testutil::RunTool;

std::string Figures(int avLost, int avScrambled, int sync, int otherLost, int dups, int atStart) {
    return " (av lost " + std::to_string(avLost) + ", av errors 0, av scrambled " + std::to_string(avScrambled) +
           ", sync " + std::to_string(sync) + "; other lost " + std::to_string(otherLost) + ", duplicates " +
           std::to_string(dups) + ", scrambled at start " + std::to_string(atStart) + ", gaps 0)\n";
}

// Generated recordings with one kind of damage each, and what the verdict
// makes of it: losses on SI, duplicates, scrambling at the start, declared
// discontinuities and a cut-off last packet harm nothing; picture and sound
// lost, scrambled, or lost sync inside the file do.
TEST(VerdictLineTest, VerdictsOfRecordings) {
    struct Case {
        const char* name;
        void (*fault)(tsgen::RecordingOptions&);
        std::string verdict;
    };
    const Case cases[] = {
        {"clean", [](tsgen::RecordingOptions&) {}, "ok" + Figures(0, 0, 0, 0, 0, 0)},
        {"EIT losses only", [](tsgen::RecordingOptions& o) { o.dropPid = {{0x0012, 50}}; },
         "ok" + Figures(0, 0, 0, 1, 0, 0)},
        {"video losses", [](tsgen::RecordingOptions& o) { o.dropPid = {{0x0111, 5000}}; },
         "damaged" + Figures(5, 0, 0, 0, 0, 0)},
        {"a duplicate", [](tsgen::RecordingOptions& o) { o.dupPid = {{0x0111, 20000}}; },
         "ok" + Figures(0, 0, 0, 0, 1, 0)},
        // The third copy is one too many, but loses nothing.
        {"three copies", [](tsgen::RecordingOptions& o) { o.triplePid = {{0x0111, 20000}}; },
         "ok" + Figures(0, 0, 0, 0, 1, 0)},
        {"audio scrambled until the descrambler locks",
         [](tsgen::RecordingOptions& o) { o.scrambleStart = {{0x0112, 31}}; }, "ok" + Figures(0, 0, 0, 0, 0, 31)},
        {"discontinuity_indicator", [](tsgen::RecordingOptions& o) { o.discPid = {{0x0111, 7000}}; },
         "ok" + Figures(0, 0, 0, 0, 0, 0)},
        {"scrambled audio", [](tsgen::RecordingOptions& o) { o.scramblePid = {{0x0112, 100}}; },
         "scrambled" + Figures(0, 23, 0, 0, 0, 0)},
        {"a cut-off last packet", [](tsgen::RecordingOptions& o) { o.cutTail = 100; }, "ok" + Figures(0, 0, 0, 0, 0, 0)},
        // Each damaged sync byte costs its packet, a video or audio one.
        {"damaged sync bytes inside", [](tsgen::RecordingOptions& o) { o.badSyncEvery = 12345; },
         "damaged" + Figures(2, 0, 2, 0, 0, 0)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        tsgen::RecordingOptions o;
        o.si = o.psi = true;
        o.packets = 30000;
        c.fault(o);
        TempFile f({});
        ASSERT_TRUE(tsgen::WriteRecording(f.Path(), o));
        const auto r = RunTool({"--verdict", f.Path()});
        EXPECT_EQ(f.Path() + ": " + c.verdict, r.out);
        EXPECT_EQ(c.verdict.compare(0, 3, "ok ") == 0 ? 0 : 3, r.status);
        // A declared discontinuity gives no line in the report either.
        if (std::string(c.name) == "discontinuity_indicator") {
            EXPECT_EQ(std::string::npos, RunTool({f.Path()}).out.find("continuity counter error"));
            EXPECT_NE(std::string::npos, RunTool({"--json", f.Path()}).out.find("\"discontinuities\":3,"));
        }
    }
}

// Files that cannot be read, or hold nothing, among others: each gets its
// verdict and its error line, in argument order, and the rest are checked
// all the same; checked two at a time, the output is the same.
TEST(VerdictLineTest, ManyFilesInArgumentOrder) {
    tsgen::RecordingOptions o;
    o.si = o.psi = true;
    o.packets = 20000;
    TempFile clean({}), empty({}), damaged({});
    ASSERT_TRUE(tsgen::WriteRecording(clean.Path(), o));
    o.dropPid = {{0x0111, 4000}};
    ASSERT_TRUE(tsgen::WriteRecording(damaged.Path(), o));
    const std::string missing = "/nonexistent/rec.ts";
    const std::vector<std::string> files = {clean.Path(), "/", missing, empty.Path(), damaged.Path(), clean.Path()};
    const std::string none = Figures(0, 0, 0, 0, 0, 0);
    const std::string expected = clean.Path() + ": ok" + none + "/: unreadable" + none + missing + ": unreadable" +
                                 none + empty.Path() + ": empty" + none + damaged.Path() + ": damaged" +
                                 Figures(4, 0, 0, 0, 0, 0) + clean.Path() + ": ok" + none;
    std::vector<std::string> args = {"--verdict"};
    args.insert(args.end(), files.begin(), files.end());
    const auto one = RunTool(args);
    EXPECT_EQ(3, one.status);
    EXPECT_EQ(expected, one.out);
    EXPECT_EQ(testutil::kBanner + "error - can't read file (/).\nerror - can't open file (" + missing + ").\n",
              one.err);
    for (const char* jobs : {"2", "0"}) {
        SCOPED_TRACE(jobs);
        std::vector<std::string> at = {"--jobs", jobs};
        at.insert(at.end(), args.begin(), args.end());
        const auto r = RunTool(at);
        EXPECT_EQ(one.status, r.status);
        EXPECT_EQ(one.out, r.out);
        EXPECT_EQ(one.err, r.err);
    }
    // The text reports of several files, each headed, and the same again
    // when checked at once.
    const auto text = RunTool({"-s", clean.Path(), damaged.Path()});
    EXPECT_EQ(0u, text.out.find("==> " + clean.Path() + " <==\n packet size:188.\n"));
    EXPECT_NE(std::string::npos, text.out.find("\n\n==> " + damaged.Path() + " <==\n packet size:188.\n"));
    EXPECT_EQ(text.out, RunTool({"-s", "-P", "2", clean.Path(), damaged.Path()}).out);
}

}  // namespace

}  // namespace tsvigil
