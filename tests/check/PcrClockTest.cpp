// SPDX-License-Identifier: BSD-2-Clause
#include "check/PcrClock.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "tests/TestUtil.h"
#include "tools/Recording.h"

namespace tsvigil {

namespace {

// The lines of a --json run whose type is type.
std::vector<std::string> Objects(const std::string& out, const std::string& type) {
    std::vector<std::string> found;
    const std::string head = "{\"type\":\"" + type + "\"";
    for (size_t at = 0, end; at < out.size(); at = end + 1) {
        end = out.find('\n', at);
        if (end == std::string::npos) end = out.size();
        if (out.compare(at, head.size(), head) == 0) found.push_back(out.substr(at, end - at));
    }
    return found;
}

// The value of key in a JSON object line, as written ("null", a number, a
// quoted string).
std::string Value(const std::string& line, const std::string& key) {
    const std::string k = "\"" + key + "\":";
    const size_t at = line.find(k);
    if (at == std::string::npos) return "(none)";
    const size_t from = at + k.size();
    size_t to = from;
    if (line[from] == '"') to = line.find('"', from + 1) + 1;
    else
        while (to < line.size() && line[to] != ',' && line[to] != '}') ++to;
    return line.substr(from, to - from);
}

double Seconds(const std::string& line, const std::string& key) { return std::atof(Value(line, key).c_str()); }

// Generated recordings of 12 s with the PCR every 40 ms on the first
// programme's PCR_PID, each with one thing done to the clock, and what the
// gaps, the damaged ranges and the elapsed time say of it.
TEST(PcrClockTest, GapsResetsAndRanges) {
    struct Case {
        const char* name;
        std::function<void(tsgen::RecordingOptions&)> build;
        std::function<void(const std::string& json)> check;
        std::vector<std::string> args = {};  // before --json
    };
    const Case cases[] = {
        {"a 10 s cut: one gap of 10 s, the losses in one range at its end",
         [](tsgen::RecordingOptions& o) {
             o.cutSeconds = 10;
             o.cutAt = 3;
         },
         [](const std::string& json) {
             const auto gaps = Objects(json, "gap");
             ASSERT_EQ(1u, gaps.size());
             EXPECT_NEAR(10.0, Seconds(gaps[0], "seconds"), 0.05);
             EXPECT_NEAR(3.0, Seconds(gaps[0], "elapsed"), 0.1);
             EXPECT_NEAR(13.0, Seconds(gaps[0], "to_elapsed"), 0.1);
             EXPECT_EQ("(none)", Value(gaps[0], "reset"));
             const auto damage = Objects(json, "damage");
             ASSERT_EQ(1u, damage.size());
             EXPECT_NEAR(13.0, Seconds(damage[0], "elapsed_from"), 0.1);
             EXPECT_NE("0", Value(damage[0], "av_lost"));
             // The broadcast time of the gap's end is 10 s after its start.
             EXPECT_EQ("\"2008-06-01T12:00:12.500+09:00\"", Value(gaps[0], "to"));
             EXPECT_NE(std::string::npos, json.find("\"words\":[\"damaged\",\"gap\"]"));
         }},
        {"a clock reset, undeclared: a gap without seconds, and the verdict says so",
         [](tsgen::RecordingOptions& o) { o.pcrReset = {6}; },
         [](const std::string& json) {
             const auto gaps = Objects(json, "gap");
             ASSERT_EQ(1u, gaps.size());
             EXPECT_EQ("null", Value(gaps[0], "seconds"));
             EXPECT_EQ("true", Value(gaps[0], "reset"));
             EXPECT_EQ("null", Value(gaps[0], "to"));
             EXPECT_TRUE(Objects(json, "damage").empty());
             EXPECT_NE(std::string::npos, json.find("\"words\":[\"gap\"]"));
             // elapsed goes on across the reset at the transport rate.
             EXPECT_NEAR(12.0, Seconds(Objects(json, "summary")[0], "elapsed"), 0.1);
         }},
        {"a clock reset declared by discontinuity_indicator: no verdict word",
         [](tsgen::RecordingOptions& o) { o.pcrResetDeclared = {6}; },
         [](const std::string& json) {
             const auto gaps = Objects(json, "gap");
             ASSERT_EQ(1u, gaps.size());
             EXPECT_EQ("true", Value(gaps[0], "declared"));
             EXPECT_NE(std::string::npos, json.find("\"words\":[\"ok\"]"));
             EXPECT_NEAR(12.0, Seconds(Objects(json, "summary")[0], "elapsed"), 0.1);
         }},
        {"no PCR: elapsed null everywhere, at the last TOT's time, no gap",
         [](tsgen::RecordingOptions& o) { o.pcr = false; },
         [](const std::string& json) {
             EXPECT_TRUE(Objects(json, "gap").empty());
             EXPECT_EQ(std::string::npos, json.find("\"elapsed\":0"));
             EXPECT_EQ(std::string::npos, json.find("\"elapsed\":1"));
             EXPECT_EQ("null", Value(Objects(json, "summary")[0], "elapsed"));
             EXPECT_EQ("\"2008-06-01T12:00:05.000+09:00\"", Value(Objects(json, "tot")[1], "at"));
         }},
        {"the 33-bit PCR wraps 6 s in: no gap, and elapsed runs on",
         [](tsgen::RecordingOptions& o) { o.pcrStart = (uint64_t{1} << 33) * 300 - 6ULL * 27000000; },
         [](const std::string& json) {
             EXPECT_TRUE(Objects(json, "gap").empty());
             EXPECT_NEAR(12.0, Seconds(Objects(json, "summary")[0], "elapsed"), 0.1);
             // A TOT half a second into its second fixes the offset; each
             // later TOT agrees within 2 s and moves nothing.
             const auto tots = Objects(json, "tot");
             ASSERT_GE(tots.size(), 3u);
             EXPECT_EQ("\"2008-06-01T12:00:10.000+09:00\"", Value(tots[2], "at"));
         }},
        {"video scrambled for its first 3000 packets: one range, all of them at the start",
         [](tsgen::RecordingOptions& o) { o.scrambleStart = {{0x0111, 3000}}; },
         [](const std::string& json) {
             const auto r = Objects(json, "scrambled_range");
             ASSERT_EQ(1u, r.size());
             EXPECT_NE(std::string::npos,
                       r[0].find("\"packets\":3000,\"pids\":[{\"pid\":273,\"class\":\"av\",\"packets\":3000,"
                                 "\"at_start\":3000}]"));
             // The first video packet follows the PCR's and the PAT's.
             EXPECT_EQ("376", Value(r[0], "offset_from"));
             // Begun before the clock gave a time: from the first it gave.
             EXPECT_NE("null", Value(r[0], "from"));
             EXPECT_NEAR(0.33, Seconds(r[0], "elapsed_to"), 0.05);
             EXPECT_TRUE(Objects(json, "transport_error_range").empty());
         }},
        {"a transport error every 1.5 s: a range for each, with no at_start",
         [](tsgen::RecordingOptions& o) { o.teiEvery = 16500; },
         [](const std::string& json) {
             const auto r = Objects(json, "transport_error_range");
             ASSERT_EQ(8u, r.size());
             EXPECT_EQ("1", Value(r[0], "packets"));
             EXPECT_EQ(std::string::npos, r[0].find("at_start"));
             EXPECT_EQ(Value(r[0], "from"), Value(r[0], "to"));
             EXPECT_NEAR(1.5, Seconds(r[1], "elapsed_from") - Seconds(r[0], "elapsed_from"), 0.01);
             EXPECT_TRUE(Objects(json, "scrambled_range").empty());
         }},
        // The first service's programmes, against the 12 s recorded; the
        // broadcast time is right to about a second (a TOT's whole seconds).
        {"a late start: the programme began 3 s before the recording",
         [](tsgen::RecordingOptions& o) {
             o.programmeStartOffset = 3;
             o.programmeSeconds = 15;
         },
         [](const std::string& json) {
             const auto p = Objects(json, "programme");
             ASSERT_FALSE(p.empty());
             EXPECT_EQ("1024", Value(p[0], "service_id"));
             EXPECT_EQ("true", Value(p[0], "recorded"));
             EXPECT_NEAR(3.0, Seconds(p[0], "missing_start"), 1.0);
             EXPECT_NEAR(0.0, Seconds(p[0], "missing_end"), 1.0);
         }},
        {"an early end: the programme goes on 2 s after the recording",
         [](tsgen::RecordingOptions& o) { o.programmeSeconds = 14; },
         [](const std::string& json) {
             const auto p = Objects(json, "programme");
             ASSERT_FALSE(p.empty());
             EXPECT_NEAR(0.0, Seconds(p[0], "missing_start"), 1.0);
             EXPECT_NEAR(2.0, Seconds(p[0], "missing_end"), 1.0);
         }},
        {"a clean recording over two programmes: the one inside it whole",
         [](tsgen::RecordingOptions& o) { o.programmeSeconds = 6; },
         [](const std::string& json) {
             const auto p = Objects(json, "programme");
             ASSERT_GE(p.size(), 2u);
             EXPECT_EQ("1", Value(p[0], "event_id"));
             EXPECT_EQ("2", Value(p[1], "event_id"));
             EXPECT_EQ("1.000", Value(p[0], "coverage"));
             EXPECT_EQ("0.000", Value(p[0], "missing_inside"));
             EXPECT_EQ("\"2008-06-01T12:00:06+09:00\"", Value(p[1], "start"));
         }},
        {"a join: 4 s cut where the PCR resets, undeclared; the missing 4 s placed inside, not at the start",
         [](tsgen::RecordingOptions& o) {
             o.cutAt = 3;
             o.cutSeconds = 4;
             o.pcrReset = {7};
             o.programmeSeconds = 30;
         },
         [](const std::string& json) {
             const auto gaps = Objects(json, "gap");
             ASSERT_EQ(1u, gaps.size());
             EXPECT_EQ("true", Value(gaps[0], "reset"));
             const auto p = Objects(json, "programme");
             ASSERT_FALSE(p.empty());
             EXPECT_NEAR(0.0, Seconds(p[0], "missing_start"), 1.0);
             EXPECT_NEAR(4.0, Seconds(p[0], "missing_inside"), 1.0);
             EXPECT_NEAR(14.0, Seconds(p[0], "missing_end"), 1.0);
         }},
        {"4 MB of zeros after a recording 3 s short of its programme's end: still incomplete",
         [](tsgen::RecordingOptions& o) {
             o.programmeSeconds = 15;
             o.garbageTail = 4 << 20;
         },
         [](const std::string& json) {
             EXPECT_NEAR(12.0, Seconds(Objects(json, "summary")[0], "elapsed"), 0.02);
             const auto p = Objects(json, "programme");
             ASSERT_FALSE(p.empty());
             EXPECT_NEAR(3.0, Seconds(p[0], "missing_end"), 1.0);
             EXPECT_NE(std::string::npos, json.find("\"words\":[\"incomplete\"]"));
         },
         {"--whole"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        tsgen::RecordingOptions o;
        o.si = o.psi = o.pcr = true;
        o.packets = 132000;
        c.build(o);
        testutil::TempFile f({});
        ASSERT_TRUE(tsgen::WriteRecording(f.Path(), o));
        std::vector<std::string> args = c.args;
        args.insert(args.end(), {"--json", f.Path()});
        const auto r = testutil::RunTool(args);
        c.check(r.out);
    }
}

}  // namespace

}  // namespace tsvigil
