// SPDX-License-Identifier: BSD-2-Clause
#include "base/TimeValue.h"

#include <gtest/gtest.h>

#include <string>

namespace tsvigil {

namespace {

struct Ymd {
    int year, month, day;
};

TEST(MjdToDateTest, AnnexCDates) {
    struct Case {
        int mjd;
        Ymd date;
    };
    const Case cases[] = {
        {45218, {1982, 9, 6}},  {54618, {2008, 6, 1}},  {15079, {1900, 3, 1}},
        {40587, {1970, 1, 1}},  {51603, {2000, 2, 29}}, {51604, {2000, 3, 1}},
        {54831, {2008, 12, 31}}, {54832, {2009, 1, 1}}, {54863, {2009, 2, 1}},
        {65535, {2038, 4, 22}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mjd);
        int y = 0, m = 0, d = 0;
        MjdToDate(c.mjd, y, m, d);
        EXPECT_EQ(c.date.year, y);
        EXPECT_EQ(c.date.month, m);
        EXPECT_EQ(c.date.day, d);
    }
}

// Broadcast fields are read as decimal digits, and digits above 9 are not
// refused: they count with their value, so 0x5A seconds is 60 and fails
// only where the fields become a time.
TEST(BcdToIntTest, DecimalDigitsUnchecked) {
    struct Case {
        uint8_t in;
        int out;
    };
    const Case cases[] = {{0x59, 59}, {0x5A, 60}, {0xA0, 100}, {0xFF, 165}};
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.in));
        EXPECT_EQ(c.out, BcdToInt(c.in));
    }
}

struct Fields6 {
    int year, month, day, hour, minute, second;
};

::testing::AssertionResult Make(const Fields6& in, TimeFields& out) {
    TimeValue t;
    if (!TimeValue::FromFields(in.year, in.month, in.day, in.hour, in.minute, in.second, t))
        return ::testing::AssertionFailure() << "no time value";
    out = t.Fields();
    return ::testing::AssertionSuccess();
}

void ExpectFields(const Fields6& want, const TimeFields& got) {
    EXPECT_EQ(want.year, got.year);
    EXPECT_EQ(want.month, got.month);
    EXPECT_EQ(want.day, got.day);
    EXPECT_EQ(want.hour, got.hour);
    EXPECT_EQ(want.minute, got.minute);
    EXPECT_EQ(want.second, got.second);
}

TEST(TimeValueTest, DayPastMonthEndRollsOver) {
    struct Case {
        const char* name;
        Fields6 in, out;
    };
    const Case cases[] = {
        {"31 April", {2008, 4, 31, 10, 0, 0}, {2008, 5, 1, 10, 0, 0}},
        {"31 November", {2008, 11, 31, 23, 59, 59}, {2008, 12, 1, 23, 59, 59}},
        {"30 February, leap year", {2008, 2, 30, 0, 0, 0}, {2008, 3, 1, 0, 0, 0}},
        {"29 February, common year", {2009, 2, 29, 0, 0, 0}, {2009, 3, 1, 0, 0, 0}},
        {"29 February 2000", {2000, 2, 29, 0, 0, 0}, {2000, 2, 29, 0, 0, 0}},
        {"31 December stays", {2008, 12, 31, 12, 0, 0}, {2008, 12, 31, 12, 0, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TimeFields f;
        ASSERT_TRUE(Make(c.in, f));
        ExpectFields(c.out, f);
    }
}

TEST(TimeValueTest, FieldsOutOfRangeFail) {
    struct Case {
        const char* name;
        Fields6 in;
    };
    const Case cases[] = {
        {"year 1899", {1899, 6, 1, 0, 0, 0}},     {"month 0", {2008, 0, 1, 0, 0, 0}},
        {"month 13", {2008, 13, 1, 0, 0, 0}},     {"day 0", {2008, 6, 0, 0, 0, 0}},
        {"day 32", {2008, 1, 32, 0, 0, 0}},       {"hour 24", {2008, 6, 1, 24, 0, 0}},
        {"hour -1", {2008, 6, 1, -1, 0, 0}},      {"minute 60", {2008, 6, 1, 0, 60, 0}},
        {"second 60", {2008, 6, 1, 0, 0, 60}},    {"before 1970", {1969, 12, 31, 23, 59, 59}},
        {"MJD 0 as decoded", {1858, 11, 17, 0, 0, 0}}, {"after 3000", {3001, 1, 1, 0, 0, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TimeValue t(12345);
        EXPECT_FALSE(TimeValue::FromFields(c.in.year, c.in.month, c.in.day, c.in.hour, c.in.minute,
                                            c.in.second, t));
        EXPECT_EQ(12345, t.Seconds());  // left unchanged
    }
}

TEST(TimeValueTest, FieldsRoundTrip) {
    // Broadcast times are JST fields in and out, through fixed arithmetic:
    // local clock changes (New York, London) play no part.
    const Fields6 times[] = {
        {2008, 6, 1, 12, 34, 56},
        {2008, 3, 9, 2, 30, 0},    // does not exist in New York (spring forward)
        {2008, 11, 2, 1, 30, 0},   // happens twice in New York (fall back)
        {2008, 3, 30, 1, 30, 0},   // does not exist in London
        {1982, 9, 6, 21, 0, 0},
        {2038, 1, 19, 3, 14, 8},   // past 32-bit seconds
        {3000, 12, 31, 23, 59, 59},
    };
    for (const Fields6& f : times) {
        SCOPED_TRACE(std::to_string(f.year) + "-" + std::to_string(f.month) + "-" + std::to_string(f.day) + " " +
                     std::to_string(f.hour) + ":" + std::to_string(f.minute));
        TimeValue t;
        ASSERT_TRUE(TimeValue::FromFields(f.year, f.month, f.day, f.hour, f.minute, f.second, t));
        ExpectFields(f, t.Fields());
    }
}

}  // namespace

}  // namespace tsvigil
