// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstdint>

namespace tsvigil {

// Calendar fields of a broadcast time (JST as the stream carries it).
struct TimeFields {
    int year = 0;
    int month = 0;   // 1..12
    int day = 0;     // 1..31
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// A point in broadcast time: signed seconds since 1970-01-01 00:00:00.
// The broadcast's JST fields are converted with fixed UTC arithmetic in both
// directions, so the fields that come out are the fields that went in,
// whatever the host's time zone or daylight-saving rules.
class TimeValue {
public:
    TimeValue() = default;
    explicit TimeValue(int64_t seconds) : m_seconds(seconds) {}

    // Makes a value from calendar fields. The fields must satisfy year >= 1900,
    // month 1..12, day 1..31, hour 0..23, minute 0..59, second 0..59; a day
    // past the month's end rolls into the next month (31 April is 1 May).
    // Times before 1970 or after the year 3000 are not representable.
    // Returns false, leaving out unchanged, when the fields cannot be used.
    static bool FromFields(int year, int month, int day, int hour, int minute, int second,
                           TimeValue& out);

    TimeFields Fields() const;
    int64_t Seconds() const { return m_seconds; }

    bool operator==(const TimeValue& o) const { return m_seconds == o.m_seconds; }
    bool operator!=(const TimeValue& o) const { return m_seconds != o.m_seconds; }

private:
    int64_t m_seconds = 0;
};

// A length of time in seconds.
class Duration {
public:
    Duration() = default;
    explicit Duration(int64_t seconds) : m_seconds(seconds) {}
    Duration(int64_t days, int64_t hours, int64_t minutes, int64_t seconds)
        : m_seconds(((days * 24 + hours) * 60 + minutes) * 60 + seconds) {}
    int64_t Seconds() const { return m_seconds; }

private:
    int64_t m_seconds = 0;
};

// Modified Julian Date to calendar date (ETSI EN 300 468 Annex C, also in
// ARIB STD-B10): MJD 45218 is 1982-09-06.
void MjdToDate(int mjd, int& year, int& month, int& day);

// Two BCD digits to their value. The nibbles are not checked: 0x5A is 60.
inline int BcdToInt(uint8_t b) { return (b >> 4) * 10 + (b & 0x0F); }

}  // namespace tsvigil
