// SPDX-License-Identifier: BSD-2-Clause
#include "report/TimeFormat.h"

#include <cstdio>

std::string FormatTime(const CTimeValue& t, bool valid, CTimeStyle style) {
    if (!valid) return style == CTimeStyle::kJson ? "null" : "----/--/-- --:--:--";
    const CTimeFields f = t.Fields();
    char s[40];
    std::snprintf(s, sizeof s, style == CTimeStyle::kJson ? "\"%04d-%02d-%02dT%02d:%02d:%02d+09:00\"" : "%04d/%02d/%02d %02d:%02d:%02d",
                  f.year, f.month, f.day, f.hour, f.minute, f.second);
    return s;
}
