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

std::string Figures(int avLost, int avScrambled, int sync, int otherLost, int dups, int atStart, int p1 = 0,
                    int p2 = 0) {
    return " (av lost " + std::to_string(avLost) + ", av errors 0, av scrambled " + std::to_string(avScrambled) +
           ", sync " + std::to_string(sync) + "; other lost " + std::to_string(otherLost) + ", duplicates " +
           std::to_string(dups) + ", scrambled at start " + std::to_string(atStart) + ", gaps 0; indicators p1 " +
           std::to_string(p1) + ", p2 " + std::to_string(p2) + ")\n";
}

// Timed by the PCR (every 40 ms on 0x01FF), seconds of broadcast at 8000
// packets a second: the PAT and both PMTs come every 125 ms.
void Timed(tsgen::RecordingOptions& o, int seconds) {
    o.pcr = true;
    o.packetsPerSecond = 8000;
    o.packets = 8000LL * seconds;
}

// The indicator objects of JSON Lines as "NAME PID COUNT", one a line.
std::string Indicators(const std::string& json) {
    std::string found;
    const auto field = [](const std::string& line, const std::string& key) {
        const size_t at = line.find("\"" + key + "\":");
        if (at == std::string::npos) return std::string();
        const size_t from = at + key.size() + 3;
        return line.substr(from, line.find_first_of(",}", from) - from);
    };
    size_t at = 0;
    while ((at = json.find("{\"type\":\"indicator\"", at)) != std::string::npos) {
        const std::string line = json.substr(at, json.find('\n', at) - at);
        std::string name = field(line, "name");
        found += name.substr(1, name.size() - 2) + " " + field(line, "pid") + " " + field(line, "count") + "\n";
        at += line.size();
    }
    return found;
}

// Generated recordings with one kind of damage each, and what the verdict
// makes of it: losses on SI, duplicates, scrambling at the start, declared
// discontinuities and a cut-off last packet harm nothing; picture and sound
// lost, scrambled, or lost sync inside the file do. Timed by the PCR, the
// indicators of ETSI TR 101 290 count how the stream was sent and change no
// verdict word.
TEST(VerdictLineTest, VerdictsOfRecordings) {
    struct Case {
        const char* name;
        void (*fault)(tsgen::RecordingOptions&);
        std::string verdict;
        const char* indicators = "";  // as Indicators() lists them
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
        // Timed, the PAT and PMTs every 125 ms: none.
        {"timed, clean", [](tsgen::RecordingOptions& o) { Timed(o, 5); },
         "ok" + Figures(0, 0, 0, 0, 0, 0)},
        // One occurrence per crossing, as long as the PAT stayed away.
        {"PAT withheld 2 s",
         [](tsgen::RecordingOptions& o) { Timed(o, 5), o.withheldSections = {{0, 2, 1}}; },
         "ok" + Figures(0, 0, 0, 0, 0, 0, 1, 0), "PAT_error 0 1\n"},
        {"a PMT withheld 1 s",
         [](tsgen::RecordingOptions& o) { Timed(o, 5), o.withheldSections = {{0x01F0, 1, 2}}; },
         "ok" + Figures(0, 0, 0, 0, 0, 0, 1, 0), "PMT_error 496 1\n"},
        // Counted from the PAT that names it, up to the end.
        {"a PAT naming a PMT that never comes",
         [](tsgen::RecordingOptions& o) { Timed(o, 5), o.withheldSections = {{0x01F1, 100, 0}}; },
         "ok" + Figures(0, 0, 0, 0, 0, 0, 1, 0), "PMT_error 497 1\n"},
        // Every audio packet left out: more than 5 s without, once named.
        {"a PMT naming audio that never comes",
         [](tsgen::RecordingOptions& o) { Timed(o, 6), o.dropPid = {{0x0112, 1}}; },
         "ok" + Figures(0, 0, 0, 0, 0, 0, 1, 0), "PID_error 274 1\n"},
        {"PCR withheld 300 ms",
         [](tsgen::RecordingOptions& o) { Timed(o, 5), o.withheldPcr = {{-1, 0.3, 2}}; },
         "ok" + Figures(0, 0, 0, 0, 0, 0, 0, 2),
         "PCR_repetition_error 511 1\nPCR_discontinuity_indicator_error 511 1\n"},
        // A second of PES without PTS: the picture's and the sound's.
        {"PTS withheld 1 s",
         [](tsgen::RecordingOptions& o) { Timed(o, 5), o.pes = true, o.noPtsSeconds = 1, o.noPtsAt = 2; },
         "ok" + Figures(0, 0, 0, 0, 0, 0, 0, 2), "PTS_error 273 1\nPTS_error 274 1\n"},
        // Each section that fails its CRC_32 counts; those within a second
        // of each other merge into one occurrence.
        {"a bad CRC on every 2nd PAT",
         [](tsgen::RecordingOptions& o) { Timed(o, 5), o.badCrc = {{0x00, 0x00, 2}}; },
         "ok" + Figures(0, 0, 0, 0, 0, 0, 0, 19), "CRC_error 0 19\n"},
        // 2 s of broadcast cut: a gap (its packets lost), and no PAT, PMT
        // or PCR missing in it.
        {"a gap of 2 s", [](tsgen::RecordingOptions& o) { Timed(o, 5), o.cutSeconds = 2, o.cutAt = 2; },
         "damaged, gap (av lost 22, av errors 0, av scrambled 0, sync 0; other lost 32, duplicates 0, "
         "scrambled at start 0, gaps 1; indicators p1 0, p2 0)\n"},
        {"1 s", [](tsgen::RecordingOptions& o) { Timed(o, 1); }, "ok" + Figures(0, 0, 0, 0, 0, 0)},
        {"one packet", [](tsgen::RecordingOptions& o) { Timed(o, 0), o.packets = 1; }, "ok" + Figures(0, 0, 0, 0, 0, 0)},
        // Without a PCR nothing is timed, but a scrambled PAT still counts.
        {"no PCR, the PAT scrambled", [](tsgen::RecordingOptions& o) { o.scramblePid = {{0x0000, 10}}; },
         "ok" + Figures(0, 0, 0, 0, 0, 0, 3, 0), "PAT_error 0 3\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        tsgen::RecordingOptions o;
        o.si = o.psi = true;
        o.packets = 30000;
        c.fault(o);
        TempFile f({}), json({}, ".json");
        ASSERT_TRUE(tsgen::WriteRecording(f.Path(), o));
        const auto r = RunTool({"--verdict", "--json", "-o", json.Path(), f.Path()});
        EXPECT_EQ(f.Path() + ": " + c.verdict, r.out);
        EXPECT_EQ(c.verdict.compare(0, 3, "ok ") == 0 ? 0 : 3, r.status);
        EXPECT_EQ(c.indicators, Indicators(testutil::ReadAll(json.Path())));
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
