// SPDX-License-Identifier: BSD-2-Clause
#include "check/PresentEvents.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "tests/TestUtil.h"
#include "tests/app/ReportCases.h"
#include "tools/SiBuilder.h"
#include "tools/TestStream.h"

namespace tsvigil {

namespace {

using tsgen::Bytes;
using tsgen::StreamBuilder;
using tsgen::EitEvent;

constexpr int kVideo = 0x0100;

// Names as the report writes them, in Shift_JIS.
const char* const kNews = "\x83\x6A\x83\x85\x81\x5B\x83\x58";  // ニュース
const char* const kA = "\x82\x81";                               // full-width a
const char* const kB = "\x82\x82";

Bytes Section(int tableId, int serviceId, int sectionNumber, int eventId, const std::string& name) {
    EitEvent e;
    e.event_id = eventId;
    e.descriptors = tsgen::ShortEventDescriptor(name);
    return tsgen::MakeEIT(tableId, serviceId, sectionNumber, 1, {e});
}

// Present/following section 0 of the actual stream.
void Present(StreamBuilder& b, int serviceId, int eventId, const std::string& name = "a") {
    b.AddSection(0x0012, Section(0x4E, serviceId, 0, eventId, name));
}


std::string Line(const std::string& name, int serviceId, int eventId) {
    char s[64];
    std::snprintf(s, sizeof s, "(service_id:%05d, event_id:%05d).\n", serviceId, eventId);
    return " eit:" + name + s;
}

using testutil::Stamp;
using testutil::Tot;
using Case = testutil::ReportCase;
const std::string& kSize = testutil::kSize188;

void RunCases(const Case* begin, const Case* end) {
    testutil::RunReportCases(begin, end, [](StreamBuilder& b) { b.AddFiller(kVideo); });
}

TEST(PresentEventsTest, PresentEventChanges) {
    const Case cases[] = {
        {"first present event of a service",
         [](StreamBuilder& b) { Present(b, 1024, 1, "ニュース"); },
         kSize + " eit:" + kNews + "(service_id:01024, event_id:00001).\n"},
        {"repeats, section 1 and other-stream sections print nothing",
         [](StreamBuilder& b) {
             Present(b, 1024, 1);
             Present(b, 1024, 1);
             b.AddSection(0x0012, Section(0x4E, 1024, 1, 2, "b"));
             b.AddSection(0x0012, Section(0x4F, 1024, 0, 3, "b"));
             b.AddSection(0x0012, Section(0x4F, 1030, 0, 3, "b"));
             b.AddSection(0x0012, Section(0x50, 1024, 0, 4, "b"));
             Present(b, 1024, 1);
         },
         kSize + Line(kA, 1024, 1)},
        {"section 0 without events prints nothing",
         [](StreamBuilder& b) {
             b.AddSection(0x0012, tsgen::MakeEIT(0x4E, 1024, 0, 1, {}));
             Present(b, 1024, 1);
             b.AddSection(0x0012, tsgen::MakeEIT(0x4E, 1024, 0, 1, {}));
             Present(b, 1024, 1);
         },
         kSize + Line(kA, 1024, 1)},
        {"two services keep their own event",
         [](StreamBuilder& b) {
             Present(b, 1024, 1, "a");
             Present(b, 1025, 1, "b");
             Present(b, 1024, 1, "a");
             Present(b, 1025, 1, "b");
             Present(b, 1025, 2, "a");
             Present(b, 1024, 1, "a");
         },
         kSize + Line(kA, 1024, 1) + Line(kB, 1025, 1) + Line(kA, 1025, 2)},
        {"a change back to an earlier event is reported",
         [](StreamBuilder& b) {
             Present(b, 1024, 1, "a");
             Present(b, 1024, 2, "b");
             Present(b, 1024, 1, "a");
         },
         kSize + Line(kA, 1024, 1) + Line(kB, 1024, 2) + Line(kA, 1024, 1)},
        {"event_id 0 and the largest ids",
         [](StreamBuilder& b) {
             Present(b, 0, 0);
             Present(b, 65535, 65535);
         },
         kSize + Line(kA, 0, 0) + Line(kA, 65535, 65535)},
        {"a damaged section prints nothing",
         [](StreamBuilder& b) {
             Bytes s = Section(0x4E, 1024, 0, 1, "a");
             s[s.size() - 2] ^= 0x10;
             b.AddSection(0x0012, s);
             Present(b, 1024, 2, "b");
         },
         kSize + Line(kB, 1024, 2)},
        {"event without a short event descriptor",
         [](StreamBuilder& b) {
             EitEvent e;
             e.event_id = 7;
             e.descriptors = tsgen::ContentDescriptor(0x0, 0x1);
             b.AddSection(0x0012, tsgen::MakeEIT(0x4E, 1024, 0, 1, {e}));
         },
         kSize + " eit:(service_id:01024, event_id:00007).\n"},
        {"only the first event of the section is present",
         [](StreamBuilder& b) {
             EitEvent present, following;
             present.event_id = 5;
             present.descriptors = tsgen::ShortEventDescriptor("a");
             following.event_id = 6;
             following.descriptors = tsgen::ShortEventDescriptor("b");
             b.AddSection(0x0012, tsgen::MakeEIT(0x4E, 1024, 0, 1, {present, following}));
         },
         kSize + Line(kA, 1024, 5)},
    };
    RunCases(std::begin(cases), std::end(cases));
}

TEST(PresentEventsTest, AdditionalSymbolsAreLabelled) {
    const Case cases[] = {
        {"HV", [](StreamBuilder& b) { Present(b, 1024, 1, "{HV}a"); }, kSize + Line(std::string("[HV]") + kA, 1024, 1)},
        {"kanji label after text",
         [](StreamBuilder& b) { Present(b, 1024, 1, "ニュース{字}"); },
         kSize + Line(std::string(kNews) + "[\x8E\x9A]", 1024, 1)},
        {"two symbols", [](StreamBuilder& b) { Present(b, 1024, 1, "{新}{HV}"); },
         kSize + Line("[\x90\x56][HV]", 1024, 1)},
    };
    RunCases(std::begin(cases), std::end(cases));
}

TEST(PresentEventsTest, EventLinesAreTimeStamped) {
    const Case cases[] = {
        {"stamp before the line, the next TOT closes the block",
         [](StreamBuilder& b) {
             Tot(b, 12, 0, 0);
             Present(b, 1024, 1);
             Tot(b, 12, 0, 5);
             Present(b, 1024, 1);
             Tot(b, 12, 0, 10);
             Present(b, 1024, 2, "b");
             Tot(b, 12, 0, 15);
         },
         kSize + Stamp("12:00:00") + Line(kA, 1024, 1) + Stamp("12:00:05") + Stamp("12:00:10") +
             Line(kB, 1024, 2) + Stamp("12:00:15")},
        {"two lines in one block share the stamps",
         [](StreamBuilder& b) {
             Tot(b, 12, 0, 0);
             Present(b, 1024, 1);
             Present(b, 1025, 1);
             Tot(b, 12, 0, 5);
         },
         kSize + Stamp("12:00:00") + Line(kA, 1024, 1) + Line(kA, 1025, 1) + Stamp("12:00:05")},
        {"a line before any TOT has no stamp",
         [](StreamBuilder& b) {
             Present(b, 1024, 1);
             Tot(b, 12, 0, 0);
         },
         kSize + Line(kA, 1024, 1) + Stamp("12:00:00")},
    };
    RunCases(std::begin(cases), std::end(cases));
}

TEST(PresentEventsTest, TableLinesComeBeforeTheDriversLinesOfTheSamePacket) {
    StreamBuilder b;
    Present(b, 1024, 1);  // the very first packet
    int& cc = b.Counter(0x0012);
    cc = (cc + 1) % 16;  // the next EIT packet skips a counter
    Present(b, 1024, 2, "b");
    EXPECT_EQ(Line(kA, 1024, 1) + kSize + Line(kB, 1024, 2) + " continuity counter error (pid:0x0012,  0-> 2).\n",
              testutil::CheckBytes(b.Data()));
}

}  // namespace

}  // namespace tsvigil
