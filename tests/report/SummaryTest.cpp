// SPDX-License-Identifier: BSD-2-Clause
#include "report/Summary.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "tests/TestUtil.h"
#include "tools/Recording.h"
#include "tools/TestStream.h"

namespace tsvigil {

namespace {

// The whole summary of the demo recording, line for line: the columns of
// every PID, the roles and the services they serve, the totals, the sync
// losses, the first and last TOT and the services' names.
TEST(SummaryReportTest, DemoRecording) {
    testutil::TempFile rec({});
    ASSERT_TRUE(tsgen::WriteDemoRecording(rec.Path()));
    const auto r = testutil::RunTool({"--utf8", "--summary", rec.Path()});
    ASSERT_EQ(0, r.status);
    const size_t at = r.out.find("\n summary:\n");
    ASSERT_NE(std::string::npos, at);
    EXPECT_EQ(
        "\n summary:\n"
        "     pid        packets   cc errors  tei errors  scrambled       lost    dups   disc    crc  class  role\n"
        "  0x0000            483           1           0          0          5       0      0      0  other  PAT\n"
        "  0x0001            483           1           0          0          5       0      0      0  other  CAT\n"
        "  0x0011            483           1           0          0          5       0      0      0  other  SDT/BAT\n"
        "  0x0012           2990           1           0          0          2       0      0      0  other  EIT\n"
        "  0x0014             23           1           0          0          1       0      0      0  other  TOT/TDT\n"
        "  0x0111          16459           4          40          0         16       1      0      0  av     MPEG-2 video (service 1024)\n"
        "  0x0112           1534           1           4        134          2       0      0      0  av     AAC audio (service 1024)\n"
        "  0x0121             29           1           0         29          1       0      0      0  av     H.264 video (service 1025)\n"
        "  0x0122           1534           1           4       1534          2       0      0      0  av     AAC audio (service 1025)\n"
        "  0x0130             28           1           0          0          2       0      0      0  other  captions (service 1024)\n"
        "  0x0138             28           1           0          0          2       0      0      0  other  superimposed text (service 1025)\n"
        "  0x0140             29           1           0          0          1       0      0      0  other  data carousel (service 1024)\n"
        "  0x0150             29           1           0          0          1       0      0      0  other  stream_type 0x80 (service 1025)\n"
        "  0x01f0            483           1           0          0          5       0      0      0  other  PMT\n"
        "  0x01f1            483           1           0          0          5       0      0      0  other  PMT\n"
        "  0x01ff           3599           0           0          0          0       0      0      0  av     PCR (service 1024, 1025)\n"
        "  0x0901             29           1           0          0          1       0      0      0  other  ECM (service 1024)\n"
        "  0x0902             29           1           0          0          1       0      0      0  other  ECM (service 1025)\n"
        "  0x0a01             29           1           0          0          1       0      0      0  other  EMM\n"
        "  total           28784          21          48       1697         58       1      0      0\n"
        "  sync byte errors: 2\n"
        "  elapsed: 119.998 s\n"
        "  gaps: 1\n"
        "  first TOT: 2008/06/01 12:00:00\n"
        "  last TOT:  2008/06/01 12:01:55\n"
        "  service  1024: サンプル放送１\n"
        "  service  1025: サンプル放送２\n"
        "  service  1026: データ放送\n"
        "  programme 1024/1 [HV][字]ニュース７ 11:58:37-12:00:12: recorded 11:59:59.500-12:00:12.000, 82.500 s missing at the start\n"
        "  programme 1024/2 [新]連続ドラマ　春の嵐[解][デ] 12:00:12-12:01:47: recorded 12:00:12.000-12:01:47.000, whole\n"
        "  programme 1024/3 きょうの料理[字] 12:01:47-12:03:22: recorded 12:01:47.000-12:01:59.498, 82.502 s missing at the end, 4.985 s missing inside\n"
        "  programme 1025/1 サッカー中継　日本×韓国[生] 11:59:47-12:00:27: recorded 11:59:59.500-12:00:27.000, 12.500 s missing at the start\n"
        "  programme 1025/2 [映]名作劇場「雪国」[字] 12:00:27-12:01:07: recorded 12:00:27.000-12:01:07.000, whole\n"
        "  programme 1025/3 天気予報[天] 12:01:07-12:01:47: recorded 12:01:07.000-12:01:47.000, whole\n"
        "  programme 1025/4 [初]ドキュメント　海と森[多] 12:01:47-12:02:27: recorded 12:01:47.000-12:01:59.498, 27.502 s missing at the end, 4.985 s missing inside\n"
        "  damaged: 12:00:02.885-12:00:05.488 (2.602 s) pids 0x0111 0x0112 0x0122: 1 packets lost, 48 with errors\n"
        "  damaged: 12:01:48.308-12:01:48.308 (0.000 s) pids 0x0111: 2 packets lost, 0 with errors\n"
        "  damaged: 12:01:54.508-12:01:54.539 (0.030 s) pids 0x0111 0x0112 0x0122: 17 packets lost, 0 with errors\n"
        "  damaged: 12:01:57.201-12:01:57.201 (0.000 s) pids 0x0121: 1 packets lost, 0 with errors\n"
        "  indicators (TR 101 290):\n"
        "    indicator                          priority  count  first          last           pids\n"
        "    PCR_repetition_error                      2      1  12:01:56.360   12:01:56.660   0x01ff\n"
        "    PCR_discontinuity_indicator_error         2      1  12:01:56.360   12:01:56.660   0x01ff\n"
        "  verdict 1024 サンプル放送１: damaged, scrambled, gap (av lost 18, av errors 44, av scrambled 27, sync 1; "
        "other lost 37, duplicates 1, scrambled at start 107, gaps 1; indicators p1 0, p2 2)\n"
        "  verdict 1025 サンプル放送２: damaged, scrambled, gap (av lost 3, av errors 4, av scrambled 1563, sync 1; "
        "other lost 37, duplicates 0, scrambled at start 0, gaps 1; indicators p1 0, p2 2)\n"
        "  verdict 1026 データ放送: no picture or sound\n"
        "  verdict: damaged, scrambled, gap (av lost 21, av errors 48, av scrambled 1590, sync 1; "
        "other lost 37, duplicates 1, scrambled at start 107, gaps 1; indicators p1 0, p2 2)\n",
        r.out.substr(at));
}

// A stream without PSI or a good TOT: every PID but the SI ones unknown,
// and so picture or sound when above the SI range; no TOT, said so. The TOT that fails its
// CRC_32 counts in the crc column and changes no verdict; the TDT has none.
TEST(SummaryReportTest, StreamWithoutTables) {
    tsgen::StreamBuilder b;
    tsgen::PacketFaults gap;
    gap.counterStep = 3;
    b.AddSection(0x0014, tsgen::WithBadCrc(tsgen::MakeTOT(2008, 6, 1, 12, 0, 0)));
    b.AddSection(0x0014, tsgen::MakeTDT(2008, 6, 1, 12, 0, 1));
    b.AddFiller(0x0100);
    b.AddFiller(0x0100, gap);
    EXPECT_EQ(
        " packet size:188.\n"
        " continuity counter error (pid:0x0100,  0-> 3).\n"
        "\n summary:\n"
        "     pid        packets   cc errors  tei errors  scrambled       lost    dups   disc    crc  class  role\n"
        "  0x0014              2           0           0          0          0       0      0      1  other  TOT/TDT\n"
        "  0x0100              2           1           0          0          2       0      0      0  av     unknown\n"
        "  total               4           1           0          0          2       0      0      1\n"
        "  sync byte errors: 0\n"
        "  elapsed: no PCR\n"
        "  gaps: 0\n"
        "  TOT: none\n"
        "  damaged: offset 564-564 pids 0x0100: 2 packets lost, 0 with errors\n"
        "  indicators (TR 101 290), not timed (no PCR): only CRC_error and scrambled PAT and PMT:\n"
        "    indicator                          priority  count  first          last           pids\n"
        "    CRC_error                                 2      1  offset 0       offset 0       0x0014\n"
        "  verdict: damaged (av lost 2, av errors 0, av scrambled 0, sync 0; other lost 0, duplicates 0, "
        "scrambled at start 0, gaps 0; indicators p1 0, p2 1)\n",
        testutil::CheckBytes(b.Data(), false, true));

    // Leading garbage is lost sync, but damaged no packet: no range. A range
    // begun before the first TOT is printed from the TOT's time.
    tsgen::StreamBuilder clean;
    for (int i = 0; i < 8; ++i) clean.AddFiller(0x0100);
    tsgen::Bytes garbage(100 + clean.Data().size(), 0x00);
    std::copy(clean.Data().begin(), clean.Data().end(), garbage.begin() + 100);
    std::string out = testutil::CheckBytes(garbage, false, true);
    EXPECT_NE(std::string::npos, out.find("  sync byte errors: 1\n")) << out;
    EXPECT_EQ(std::string::npos, out.find("  damaged:")) << out;
    b.AddFiller(0x0100, gap);
    b.AddSection(0x0014, tsgen::MakeTOT(2008, 6, 1, 12, 0, 0));
    b.AddFiller(0x0100, gap);
    out = testutil::CheckBytes(b.Data(), false, true);
    EXPECT_NE(std::string::npos,
              out.find("  damaged: offset 564, then 12:00:00.000-12:00:00.000 pids 0x0100: 6 packets lost, 0 with errors\n"))
        << out;
}

}  // namespace

}  // namespace tsvigil
