// SPDX-License-Identifier: BSD-2-Clause
#include "si/TOT.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include "tools/SiBuilder.h"
#include "tools/TestStream.h"

namespace tsvigil {

namespace {

using tsgen::Bytes;

const Bytes kTot = {0x73, 0x70, 0x0B, 0xD5, 0x5A, 0x12, 0x34, 0x56, 0xF0, 0x00, 0xE4, 0x9F, 0x5B, 0x38};

// Parses the sections in turn, each in an exactly-sized vector so that a
// read past its end is caught.
void Feed(TOT& tot, const std::vector<Bytes>& sections) {
    for (const auto& s : sections) tot.Parse(s.data(), static_cast<int>(s.size()));
}

std::string Fields(const TOT& tot) {
    if (!tot.has_JST_time) return "no time";
    const TimeFields f = tot.JST_time.Fields();
    char s[32];
    std::snprintf(s, sizeof s, "%04d/%02d/%02d %02d:%02d:%02d", f.year, f.month, f.day, f.hour, f.minute,
                  f.second);
    return s;
}

std::vector<int> Tags(const DescriptorList& list) {
    std::vector<int> tags;
    for (const auto& d : list) tags.push_back(d->descriptor_tag);
    return tags;
}

TEST(TOTTest, SectionFromTheStream) {
    TOT tot;
    Feed(tot, {kTot});
    EXPECT_TRUE(tot.descriptors.empty());
    EXPECT_EQ("2008/06/01 12:34:56", Fields(tot));
}

TEST(TOTTest, JstTime) {
    struct Case {
        const char* name;
        Bytes time;  // MJD and BCD hour, minute, second
        const char* expected;
    };
    const Case cases[] = {
        {"MJD 45218", {0xB0, 0xA2, 0x12, 0x45, 0x00}, "1982/09/06 12:45:00"},
        {"leap day", {0xC9, 0x93, 0x23, 0x59, 0x59}, "2000/02/29 23:59:59"},
        {"BCD 5A is 60 seconds: no time", {0xD5, 0x5A, 0x12, 0x34, 0x5A}, "no time"},
        {"hour 24: no time", {0xD5, 0x5A, 0x24, 0x00, 0x00}, "no time"},
        {"MJD 0 is before 1900: no time", {0x00, 0x00, 0x00, 0x00, 0x00}, "no time"},
        {"MJD 40586 is 1969: no time", {0x9E, 0x8A, 0x23, 0x59, 0x59}, "no time"},
        {"section ends before JST_time: no time", {}, "no time"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes section(kTot.begin(), kTot.begin() + 3);
        section.insert(section.end(), c.time.begin(), c.time.end());
        TOT tot;
        const bool valid = tot.ParseTime(section.data(), static_cast<int>(section.size()));
        EXPECT_EQ(c.expected != std::string("no time"), valid);
        EXPECT_EQ(c.expected, Fields(tot));
    }
}

TEST(TOTTest, DescriptorLoop) {
    const Bytes lto = tsgen::LocalTimeOffsetDescriptor();
    const Bytes sed = tsgen::ShortEventDescriptor("a");
    struct Case {
        const char* name;
        Bytes descriptors;
        std::vector<int> tags;
        int errors;  // descriptors cut short or overrunning
    };
    const Case cases[] = {
        {"local time offset only: not kept", lto, {}, 0},
        {"stepped over, next one kept", [&] {
             Bytes b = lto;
             b.insert(b.end(), sed.begin(), sed.end());
             return b;
         }(), {0x4D}, 0},
        {"two in order", [&] {
             Bytes b = sed;
             b.insert(b.end(), sed.begin(), sed.end());
             return b;
         }(), {0x4D, 0x4D}, 0},
        {"cut short at the CRC_32: kept, counted", [&] {
             Bytes b = sed;
             b.insert(b.end(), {0x4D, 0x09, 'j', 'p', 'n'});
             return b;
         }(), {0x4D, 0x4D}, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TOT tot;
        Feed(tot, {tsgen::MakeTOT(2008, 6, 1, 12, 0, 0, c.descriptors)});
        EXPECT_EQ(c.tags, Tags(tot.descriptors));
        EXPECT_EQ(c.errors, tot.descriptorErrors);
    }
}

TEST(TOTTest, LoopRunsToTheCrcWhateverDescriptorsLoopLengthSays) {
    const Bytes sed = tsgen::ShortEventDescriptor("a");
    Bytes body = {0x73, 0x70, 0x00, 0xD5, 0x5A, 0x12, 0x00, 0x00, 0xF0, 0x00};  // loop length 0
    body.insert(body.end(), sed.begin(), sed.end());
    body.insert(body.end(), sed.begin(), sed.end());
    TOT tot;
    Feed(tot, {tsgen::FinishSection(body)});
    EXPECT_EQ((std::vector<int>{0x4D, 0x4D}), Tags(tot.descriptors));
}

TEST(TOTTest, EachParseReplacesTheDescriptors) {
    TOT tot;
    Feed(tot, {tsgen::MakeTOT(2008, 6, 1, 12, 0, 0, tsgen::ShortEventDescriptor("a")), kTot});
    EXPECT_TRUE(tot.descriptors.empty());
}

TEST(TOTTest, TdtGivesItsTimeOnly) {
    TOT tot;
    const Bytes withDescriptor = tsgen::MakeTOT(2008, 6, 1, 12, 0, 0, tsgen::ShortEventDescriptor("a"));
    Feed(tot, {withDescriptor, tsgen::MakeTDT(2009, 1, 2, 3, 4, 5)});
    // A TDT has no descriptors: the TOT's stay.
    EXPECT_EQ((std::vector<int>{0x4D}), Tags(tot.descriptors));
    EXPECT_EQ("2009/01/02 03:04:05", Fields(tot));
}

}  // namespace

}  // namespace tsvigil
