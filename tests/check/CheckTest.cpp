// SPDX-License-Identifier: BSD-2-Clause
#include "check/Check.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "check/Output.h"
#include "stream/MemorySource.h"
#include "tests/TestUtil.h"
#include "tools/Recording.h"

namespace tsvigil {

namespace {

using testutil::TempFile;

// Two checks on two threads over different recordings write what each
// writes alone: a check shares no state with another.
TEST(CheckTest, TwoChecksOnTwoThreadsReportAsAlone) {
    TempFile demoFile({}), damagedFile({});
    ASSERT_TRUE(tsgen::WriteDemoRecording(demoFile.Path()));
    tsgen::RecordingOptions o;
    o.si = o.psi = true;
    o.packetSize = 204;
    o.packets = 60000;
    o.dropEvery = 7000;
    o.badSyncEvery = 9001;
    o.scrambleEvery = 500;
    o.teiEvery = 3000;
    ASSERT_TRUE(tsgen::WriteRecording(damagedFile.Path(), o));
    const tsgen::Bytes demo = testutil::ReadBytes(demoFile.Path()),
                       damaged = testutil::ReadBytes(damagedFile.Path());
    for (const bool json : {false, true}) {
        SCOPED_TRACE(json ? "JSON Lines" : "report and summary");
        const std::string demoAlone = testutil::CheckBytes(demo, json, true);
        const std::string damagedAlone = testutil::CheckBytes(damaged, json, true);
        ASSERT_NE(demoAlone, damagedAlone);
        for (int round = 0; round < 3; ++round) {
            std::string a, b;
            std::thread ta([&] { a = testutil::CheckBytes(demo, json, true); });
            std::thread tb([&] { b = testutil::CheckBytes(damaged, json, true); });
            ta.join();
            tb.join();
            EXPECT_EQ(demoAlone, a);
            EXPECT_EQ(damagedAlone, b);
        }
    }
}

// The PES of audio tell losses the 4-bit continuity_counter hides, and
// the PTS timed by the PCR tell stretches of more than 700 ms without one.
// Generated recordings with PES on the picture and sound PIDs, one fault
// each: the verdict line, the pes_loss findings, and the PTS gaps.
TEST(CheckTest, PesTellWhatTheCounterHides) {
    struct Counted : Output {
        int pesLosses = 0, ptsGaps = 0;
        void On(const Finding& f) override {
            pesLosses += f.kind == Finding::Kind::kPesLoss ? 1 : 0;
            ptsGaps += f.kind == Finding::Kind::kPtsGap ? 1 : 0;
        }
        bool WantsRoles() const override { return true; }
    };
    struct Case {
        const char* name;
        void (*fault)(tsgen::RecordingOptions&);
        const char* verdict;
        int pesLosses;
        int ptsGaps;
    };
    const Case cases[] = {
        {"clean", [](tsgen::RecordingOptions&) {}, "ok (av lost 0, av errors 0, av scrambled 0", 0, 0},
        // A tenth of a second of sound, the counter back where it was.
        {"16 sound packets in a row", [](tsgen::RecordingOptions& o) { o.dropRuns = {{0x0112, 16, 2}}; },
         "damaged (av lost 16, av errors 0, av scrambled 0", 1, 0},
        {"32 in a row, from inside a PES", [](tsgen::RecordingOptions& o) { o.dropRuns = {{0x0112, 32, 2.3}}; },
         "damaged (av lost 32, av errors 0, av scrambled 0", 1, 0},
        // Each loss the counter shows, and no more: the larger estimate once.
        {"losses the counter shows", [](tsgen::RecordingOptions& o) { o.dropPid = {{0x0112, 500}}; },
         "damaged (av lost 6, av errors 0, av scrambled 0", 0, 0},
        // ISO/IEC 13818-1 wants a PTS only every 0.7 s: PES without one lose
        // nothing, but a second without is a PTS gap on each PID.
        {"a second without PTS", [](tsgen::RecordingOptions& o) { o.noPtsSeconds = 1, o.noPtsAt = 1.5; },
         "ok (av lost 0, av errors 0, av scrambled 0", 0, 2},
        {"PES_packet_length a packet too long", [](tsgen::RecordingOptions& o) { o.pesLongEvery = 200; },
         "damaged (av lost 4, av errors 0, av scrambled 0", 4, 0},
        // A muxer that writes every PES_packet_length wrong tells no loss.
        {"every PES_packet_length a packet too long", [](tsgen::RecordingOptions& o) { o.pesLongEvery = 1; },
         "ok (av lost 0, av errors 0, av scrambled 0", 0, 0},
        {"PTS wrapping at 2^33", [](tsgen::RecordingOptions& o) { o.pcrStart = (uint64_t{1} << 33) * 300 - 27000000; },
         "ok (av lost 0, av errors 0, av scrambled 0", 0, 0},
        // The clock and the PTS go back 60 s: a reset, no loss.
        {"PTS going backwards", [](tsgen::RecordingOptions& o) { o.pcrReset = {2}; },
         "gap (av lost 0, av errors 0, av scrambled 0", 0, 0},
        {"variable-size PES", [](tsgen::RecordingOptions& o) { o.pesVary = true; },
         "ok (av lost 0, av errors 0, av scrambled 0", 0, 0},
        {"variable-size PES, 16 lost", [](tsgen::RecordingOptions& o) { o.pesVary = true, o.dropRuns = {{0x0112, 16, 2}}; },
         "damaged (av lost 16, av errors 0, av scrambled 0", 1, 0},
        // Scrambled PES headers are not read.
        {"scrambled sound", [](tsgen::RecordingOptions& o) { o.scramblePid = {{0x0112, 3}}; },
         "scrambled (av lost 0, av errors 0, av scrambled", 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        tsgen::RecordingOptions o;
        o.pcr = o.pes = true;
        o.packets = 40000;
        c.fault(o);
        TempFile f({});
        ASSERT_TRUE(tsgen::WriteRecording(f.Path(), o));
        EXPECT_EQ(0u, testutil::RunTool({"--verdict", f.Path()}).out.find(f.Path() + ": " + c.verdict)) << c.verdict;
        const tsgen::Bytes data = testutil::ReadBytes(f.Path());
        MemorySource source(data.data(), data.size());
        Counted counted;
        Check check(source, {&counted});
        check.Run();
        EXPECT_EQ(c.pesLosses, counted.pesLosses);
        EXPECT_EQ(c.ptsGaps, counted.ptsGaps);
    }
}

}  // namespace

}  // namespace tsvigil
