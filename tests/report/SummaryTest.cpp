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
        "     pid        packets   cc errors  tei errors  scrambled  role\n"
        "  0x0000             24           0           0          0  PAT\n"
        "  0x0001             24           0           0          0  CAT\n"
        "  0x0011             24           0           0          0  SDT/BAT\n"
        "  0x0012           3120           0           0          0  EIT\n"
        "  0x0014             24           0           0          0  TOT/TDT\n"
        "  0x0111          20535           4          48          0  MPEG-2 video (service 1024)\n"
        "  0x0112           2000           0           5        116  AAC audio (service 1024, 1025)\n"
        "  0x0121             30           0           0          0  H.264 video (service 1025)\n"
        "  0x0130             30           0           0          0  captions (service 1024)\n"
        "  0x0138             30           0           0          0  superimposed text (service 1025)\n"
        "  0x0140             30           0           0          0  data carousel (service 1024)\n"
        "  0x0150             30           0           0          0  stream_type 0x80 (service 1025)\n"
        "  0x01f0             24           0           0          0  PMT\n"
        "  0x01f1             24           0           0          0  PMT\n"
        "  0x01ff            240           0           0          0  PCR (service 1024)\n"
        "  0x0901             30           0           0          0  ECM (service 1024)\n"
        "  0x0902             30           0           0          0  ECM (service 1025)\n"
        "  0x0a01             30           0           0          0  EMM\n"
        "  total           26279           4          53        116\n"
        "  sync byte errors: 2\n"
        "  first TOT: 2008/06/01 12:00:00\n"
        "  last TOT:  2008/06/01 12:01:55\n"
        "  service  1024: サンプル放送１\n"
        "  service  1025: サンプル放送２\n"
        "  service  1026: データ放送\n",
        r.out.substr(at));
}

// A stream without PSI or TOT: every PID unknown, and no TOT said so.
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
        "     pid        packets   cc errors  tei errors  scrambled  role\n"
        "  0x0100              2           1           0          0  unknown\n"
        "  total               2           1           0          0\n"
        "  sync byte errors: 0\n"
        "  TOT: none\n",
        testutil::CheckBytes(b.Data(), false, true));
}

}  // namespace
