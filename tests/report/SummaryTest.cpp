// SPDX-License-Identifier: BSD-2-Clause
#include "report/Summary.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/TestUtil.h"
#include "tools/Recording.h"

namespace {

// The whole summary of the demo recording, line for line: the columns of
// every PID, the roles and the services they serve, the totals, the sync
// losses, the first and last TOT and the services' names.
TEST(CSummaryReportTest, DemoRecording) {
    testutil::CTempFile rec({});
    ASSERT_TRUE(tsgen::WriteDemoRecording(rec.Path()));
    const auto r = testutil::RunTool({"--utf8", "--summary", rec.Path()});
    ASSERT_EQ(0, r.status);
    const size_t at = r.out.find("\n summary:\n");
    ASSERT_NE(std::string::npos, at);
    EXPECT_EQ(
        "\n summary:\n"
        "     pid        packets   cc errors  tei errors  scrambled       lost    dups   disc  class  role\n"
        "  0x0000             24           0           0          0          0       0      0  other  PAT\n"
        "  0x0001             24           0           0          0          0       0      0  other  CAT\n"
        "  0x0011             24           0           0          0          0       0      0  other  SDT/BAT\n"
        "  0x0012           3120           0           0          0          0       0      0  other  EIT\n"
        "  0x0014             24           0           0          0          0       0      0  other  TOT/TDT\n"
        "  0x0111          20535           4          48          0          5       1      0  av     MPEG-2 video (service 1024)\n"
        "  0x0112           2000           0           5        116          0       0      0  av     AAC audio (service 1024, 1025)\n"
        "  0x0121             30           0           0          0          0       0      0  av     H.264 video (service 1025)\n"
        "  0x0130             30           0           0          0          0       0      0  other  captions (service 1024)\n"
        "  0x0138             30           0           0          0          0       0      0  other  superimposed text (service 1025)\n"
        "  0x0140             30           0           0          0          0       0      0  other  data carousel (service 1024)\n"
        "  0x0150             30           0           0          0          0       0      0  other  stream_type 0x80 (service 1025)\n"
        "  0x01f0             24           0           0          0          0       0      0  other  PMT\n"
        "  0x01f1             24           0           0          0          0       0      0  other  PMT\n"
        "  0x01ff            240           0           0          0          0       0      0  av     PCR (service 1024)\n"
        "  0x0901             30           0           0          0          0       0      0  other  ECM (service 1024)\n"
        "  0x0902             30           0           0          0          0       0      0  other  ECM (service 1025)\n"
        "  0x0a01             30           0           0          0          0       0      0  other  EMM\n"
        "  total           26279           4          53        116          5       1      0\n"
        "  sync byte errors: 2\n"
        "  elapsed: no PCR\n"
        "  gaps: 0\n"
        "  first TOT: 2008/06/01 12:00:00\n"
        "  last TOT:  2008/06/01 12:01:55\n"
        "  service  1024: サンプル放送１\n"
        "  service  1025: サンプル放送２\n"
        "  service  1026: データ放送\n"
        // Without a PCR the damaged ranges are placed by the TOT's time.
        "  damaged: 12:00:00.000-12:00:00.000 pids 0x0111: 1 packets lost, 0 with errors\n"
        "  damaged: 12:00:10.000-12:00:10.000 pids 0x0111: 2 packets lost, 0 with errors\n"
        "  damaged: 12:00:20.000-12:00:20.000 pids 0x0111 0x0112: 0 packets lost, 53 with errors\n"
        "  damaged: 12:01:25.000-12:01:25.000 pids 0x0111: 2 packets lost, 0 with errors\n"
        "  verdict: damaged, scrambled (av lost 5, av errors 53, av scrambled 116, sync 1; other lost 0, "
        "duplicates 1, scrambled at start 0, gaps 0)\n",
        r.out.substr(at));
}

// A stream without PSI or TOT: every PID unknown, and so picture or sound
// when above the SI range; no TOT, said so.
TEST(CSummaryReportTest, StreamWithoutTables) {
    tsgen::CStreamBuilder b;
    tsgen::PacketFaults gap;
    gap.counterStep = 3;
    b.AddFiller(0x0100);
    b.AddFiller(0x0100, gap);
    EXPECT_EQ(
        " packet size:188.\n"
        " continuity counter error (pid:0x0100,  0-> 3).\n"
        "\n summary:\n"
        "     pid        packets   cc errors  tei errors  scrambled       lost    dups   disc  class  role\n"
        "  0x0100              2           1           0          0          2       0      0  av     unknown\n"
        "  total               2           1           0          0          2       0      0\n"
        "  sync byte errors: 0\n"
        "  elapsed: no PCR\n"
        "  gaps: 0\n"
        "  TOT: none\n"
        "  damaged: offset 188-188 pids 0x0100: 2 packets lost, 0 with errors\n"
        "  verdict: damaged (av lost 2, av errors 0, av scrambled 0, sync 0; other lost 0, duplicates 0, "
        "scrambled at start 0, gaps 0)\n",
        testutil::CheckBytes(b.Data(), false, true));
}

}  // namespace
