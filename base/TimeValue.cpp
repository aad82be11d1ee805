// SPDX-License-Identifier: BSD-2-Clause
#include "base/TimeValue.h"

namespace tsvigil {

namespace {

// Days from 1970-01-01 to the given proleptic Gregorian date.
int64_t DaysFromCivil(int64_t y, int m, int d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, int& year, int& month, int& day) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(yoe + era * 400 + (month <= 2));
}

}  // namespace

bool TimeValue::FromFields(int year, int month, int day, int hour, int minute, int second,
                            TimeValue& out) {
    if (year < 1900 || year > 3000 || month < 1 || month > 12 || day < 1 || day > 31 ||
        hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59) {
        return false;
    }
    // Day 1 of the month plus (day - 1) days: a day beyond the month's end
    // rolls over into the next month.
    const int64_t days = DaysFromCivil(year, month, 1) + (day - 1);
    const int64_t t = days * 86400 + hour * 3600 + minute * 60 + second;
    if (t < 0) return false;
    out = TimeValue(t);
    return true;
}

TimeFields TimeValue::Fields() const {
    TimeFields f;
    int64_t days = m_seconds / 86400;
    int64_t rem = m_seconds % 86400;
    if (rem < 0) {
        rem += 86400;
        --days;
    }
    CivilFromDays(days, f.year, f.month, f.day);
    f.hour = static_cast<int>(rem / 3600);
    f.minute = static_cast<int>(rem / 60 % 60);
    f.second = static_cast<int>(rem % 60);
    return f;
}

void MjdToDate(int mjd, int& year, int& month, int& day) {
    const double m = mjd;
    const int yp = static_cast<int>((m - 15078.2) / 365.25);
    const int mp = static_cast<int>((m - 14956.1 - static_cast<int>(yp * 365.25)) / 30.6001);
    day = mjd - 14956 - static_cast<int>(yp * 365.25) - static_cast<int>(mp * 30.6001);
    const int k = (mp == 14 || mp == 15) ? 1 : 0;
    year = yp + k + 1900;
    month = mp - 1 - 12 * k;
}

}  // namespace tsvigil
