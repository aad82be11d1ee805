// SPDX-License-Identifier: BSD-2-Clause
#include "report/TextReport.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "tests/TestUtil.h"
#include "tests/app/ReportCases.h"
#include "tools/TestStream.h"

namespace tsvigil {

namespace {

using tsgen::Bytes;
using tsgen::StreamBuilder;
using tsgen::PacketFaults;

constexpr int kVideo = 0x0100;

void BadTot(StreamBuilder& b, int h, int m, int s) {
    Bytes t = tsgen::MakeTOT(2008, 6, 1, h, m, s);
    t.back() ^= 0x01;
    b.AddSection(0x0014, t);
}
// The two packets of a TOT of 12:00:05 whose descriptors fill more than
// one packet, its counters following on from b's.
Bytes LongTotPackets(StreamBuilder& b) {
    StreamBuilder two;
    two.Counter(0x0014) = b.Counter(0x0014);
    Bytes descriptors(200, 'A');
    descriptors[0] = 0x40;
    descriptors[1] = 198;
    two.AddSection(0x0014, tsgen::MakeTOT(2008, 6, 1, 12, 0, 5, descriptors));
    return Bytes(two.Data().begin(), two.Data().begin() + 376);
}
void Tdt(StreamBuilder& b, int h, int m, int s) { b.AddSection(0x0014, tsgen::MakeTDT(2008, 6, 1, h, m, s)); }
void Quiet(StreamBuilder& b) { b.AddFiller(kVideo); }
// A packet of kVideo that skips one continuity_counter value.
void Gap(StreamBuilder& b) {
    PacketFaults f;
    f.counterStep = 2;
    b.AddFiller(kVideo, f);
}
void TransportError(StreamBuilder& b) {
    PacketFaults f;
    f.transportError = true;
    b.AddFiller(kVideo, f);
}
void Scrambled(StreamBuilder& b, int pid) {
    PacketFaults f;
    f.scrambled = true;
    b.AddFiller(pid, f);
}

using testutil::Stamp;
using testutil::Tot;
using Case = testutil::ReportCase;
const std::string& kSize = testutil::kSize188;

void RunCases(const Case* begin, const Case* end) { testutil::RunReportCases(begin, end); }

TEST(TextReportTest, TimeStampsAroundFindings) {
    const Case cases[] = {
        {"no TOT: no stamps, counts at the end",
         [](StreamBuilder& b) {
             Quiet(b);
             Gap(b);
             Scrambled(b, kVideo);
             TransportError(b);
             Scrambled(b, 0x0011);
         },
         kSize + " continuity counter error (pid:0x0100,  0-> 2).\n" +
             " transport scrambling countrol (pid:0x0011,     1packets).\n" +
             " transport scrambling countrol (pid:0x0100,     1packets).\n" +
             " transport error indicator (    1packets).\n"},
        {"quiet TOTs print nothing",
         [](StreamBuilder& b) {
             Quiet(b);
             Tot(b, 12, 0, 0);
             Quiet(b);
             Tot(b, 12, 0, 5);
         },
         kSize},
        {"findings before the first TOT are closed by it",
         [](StreamBuilder& b) {
             Quiet(b);
             Gap(b);
             Tot(b, 12, 0, 0);
         },
         kSize + " continuity counter error (pid:0x0100,  0-> 2).\n" + Stamp("12:00:00")},
        {"two quiet TOTs, then a finding with the second one's time",
         [](StreamBuilder& b) {
             Quiet(b);
             Tot(b, 12, 0, 0);
             Quiet(b);
             Tot(b, 12, 0, 5);
             Gap(b);
         },
         kSize + Stamp("12:00:05") + " continuity counter error (pid:0x0100,  1-> 3).\n"},
        {"continuity error after a quiet period, closed by the next TOT",
         [](StreamBuilder& b) {
             Quiet(b);
             Tot(b, 12, 0, 0);
             Gap(b);
             Tot(b, 12, 0, 5);
             Tot(b, 12, 0, 10);
             Gap(b);
             Gap(b);
             Tot(b, 12, 0, 15);
         },
         kSize + Stamp("12:00:00") + " continuity counter error (pid:0x0100,  0-> 2).\n" + Stamp("12:00:05") +
             Stamp("12:00:10") + " continuity counter error (pid:0x0100,  2-> 4).\n" +
             " continuity counter error (pid:0x0100,  4-> 6).\n" + Stamp("12:00:15")},
    };
    RunCases(std::begin(cases), std::end(cases));
}

TEST(TextReportTest, BulkCounts) {
    const Case cases[] = {
        {"three transport errors between two TOTs",
         [](StreamBuilder& b) {
             Quiet(b);
             Tot(b, 12, 0, 0);
             TransportError(b);
             TransportError(b);
             TransportError(b);
             Tot(b, 12, 0, 5);
             Tot(b, 12, 0, 10);  // the count was reset: nothing to print
         },
         kSize + Stamp("12:00:00") + " transport error indicator (    3packets).\n" + Stamp("12:00:05")},
        {"scrambled packets in PID order, counts reset at each TOT",
         [](StreamBuilder& b) {
             Quiet(b);
             Tot(b, 12, 0, 0);
             Scrambled(b, 0x0100);
             Scrambled(b, 0x0100);
             Scrambled(b, 0x0011);
             Tot(b, 12, 0, 5);
             Scrambled(b, 0x0100);
             Tot(b, 12, 0, 10);
         },
         kSize + Stamp("12:00:00") + " transport scrambling countrol (pid:0x0011,     1packets).\n" +
             " transport scrambling countrol (pid:0x0100,     2packets).\n" + Stamp("12:00:05") +
             " transport scrambling countrol (pid:0x0100,     1packets).\n" + Stamp("12:00:10")},
        {"scrambling before transport errors; a packet counts for both",
         [](StreamBuilder& b) {
             Quiet(b);
             Tot(b, 12, 0, 0);
             PacketFaults f;
             f.scrambled = true;
             f.transportError = true;
             b.AddFiller(0x1FFF, f);
             Tot(b, 12, 0, 5);
         },
         kSize + Stamp("12:00:00") + " transport scrambling countrol (pid:0x1fff,     1packets).\n" +
             " transport error indicator (    1packets).\n" + Stamp("12:00:05")},
        {"counts after the last TOT close the report without a time",
         [](StreamBuilder& b) {
             Quiet(b);
             Tot(b, 12, 0, 0);
             TransportError(b);
             Scrambled(b, kVideo);
         },
         kSize + Stamp("12:00:00") + " transport scrambling countrol (pid:0x0100,     1packets).\n" +
             " transport error indicator (    1packets).\n"},
        {"counts before the first TOT are printed by it",
         [](StreamBuilder& b) {
             TransportError(b);
             Tot(b, 12, 0, 0);
         },
         kSize + " transport error indicator (    1packets).\n" + Stamp("12:00:00")},
    };
    RunCases(std::begin(cases), std::end(cases));
}

TEST(TextReportTest, SectionsThatFailVerificationCloseNothing) {
    const Case cases[] = {
        {"TOT with a bad CRC_32 after a finding",
         [](StreamBuilder& b) {
             Quiet(b);
             Tot(b, 12, 0, 0);
             Gap(b);
             BadTot(b, 12, 0, 5);
             Quiet(b);
             Tot(b, 12, 0, 10);
         },
         kSize + Stamp("12:00:00") + " continuity counter error (pid:0x0100,  0-> 2).\n" + Stamp("12:00:10")},
        {"TOT with a bad CRC_32 after counted errors",
         [](StreamBuilder& b) {
             Quiet(b);
             Tot(b, 12, 0, 0);
             TransportError(b);
             BadTot(b, 12, 0, 5);
             Tot(b, 12, 0, 10);
         },
         kSize + Stamp("12:00:00") + " transport error indicator (    1packets).\n" + Stamp("12:00:10")},
        {"TDT on the TOT's PID after a finding",
         [](StreamBuilder& b) {
             Quiet(b);
             Tot(b, 12, 0, 0);
             Gap(b);
             Tdt(b, 12, 0, 3);
             Tot(b, 12, 0, 5);
         },
         kSize + Stamp("12:00:00") + " continuity counter error (pid:0x0100,  0-> 2).\n" + Stamp("12:00:05")},
        // A stamp shows the last TOT that completed, whatever section the
        // buffer holds since.
        {"a TDT after a TOT",
         [](StreamBuilder& b) {
             Quiet(b);
             Tot(b, 12, 0, 0);
             Tdt(b, 12, 0, 3);
             Gap(b);
         },
         kSize + Stamp("12:00:00") + " continuity counter error (pid:0x0100,  0-> 2).\n"},
        {"a TOT with a bad CRC_32 after a TOT",
         [](StreamBuilder& b) {
             Quiet(b);
             Tot(b, 12, 0, 0);
             BadTot(b, 12, 0, 5);
             Gap(b);
         },
         kSize + Stamp("12:00:00") + " continuity counter error (pid:0x0100,  0-> 2).\n"},
        {"a TOT whose second packet was lost, after a TOT",
         [](StreamBuilder& b) {
             Quiet(b);
             Tot(b, 12, 0, 0);
             // A TOT of two packets of which only the first arrives.
             const Bytes d = LongTotPackets(b);
             b.AddRaw(Bytes(d.begin(), d.begin() + 188));
             Gap(b);
         },
         kSize + Stamp("12:00:00") + " continuity counter error (pid:0x0100,  0-> 2).\n"},
        // The same counter on other bytes says 15 packets were lost, which
        // breaks the TOT in hand, however well the packet after follows on.
        {"a TOT whose second packet follows a loss of 15, after a TOT",
         [](StreamBuilder& b) {
             Quiet(b);
             Tot(b, 12, 0, 0);
             const Bytes d = LongTotPackets(b);
             Bytes again(d.begin() + 188, d.begin() + 376);
             again[3] = d[3];
             again[100] ^= 0xFF;
             b.AddRaw(Bytes(d.begin(), d.begin() + 188));
             b.AddRaw(again);
             b.AddRaw(Bytes(d.begin() + 188, d.begin() + 376));
         },
         kSize + Stamp("12:00:00") + " continuity counter error (pid:0x0014,  1-> 1).\n"},
        {"a CRC-correct section of table_id 0x74 after a TOT",
         [](StreamBuilder& b) {
             Quiet(b);
             Tot(b, 12, 0, 0);
             Bytes other = tsgen::MakeTOT(2008, 6, 1, 12, 0, 7);
             other[0] = 0x74;
             b.AddSection(0x0014, tsgen::FinishSection(Bytes(other.begin(), other.end() - 4)));
             Gap(b);
             Tot(b, 12, 0, 10);
         },
         kSize + Stamp("12:00:00") + " continuity counter error (pid:0x0100,  0-> 2).\n" + Stamp("12:00:10")},
    };
    RunCases(std::begin(cases), std::end(cases));
}

TEST(TextReportTest, StampWithoutATimePrintsAPlaceholder) {
    // JST_time fields that are no date must not stop the report.
    Bytes body = {0x73, 0x70, 0x00, 0xD5, 0x5A, 0x25, 0x00, 0x00, 0xF0, 0x00};  // hour 25
    StreamBuilder b;
    Quiet(b);
    b.AddSection(0x0014, tsgen::FinishSection(body));
    Gap(b);
    EXPECT_EQ(kSize + "----/--/-- --:--:--\n" + " continuity counter error (pid:0x0100,  0-> 2).\n",
              testutil::CheckBytes(b.Data()));
}

}  // namespace

}  // namespace tsvigil
