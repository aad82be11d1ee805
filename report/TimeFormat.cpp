// SPDX-License-Identifier: BSD-2-Clause
#include "report/TimeFormat.h"

#include <cstdio>

namespace tsvigil {

std::string FormatMilliseconds(int64_t ms, bool valid) {
    if (!valid) return "null";
    const int64_t seconds = ms >= 0 ? ms / 1000 : (ms - 999) / 1000;
    const TimeFields f = TimeValue(seconds).Fields();
    char s[48];
    std::snprintf(s, sizeof s, "\"%04d-%02d-%02dT%02d:%02d:%02d.%03d+09:00\"", f.year, f.month, f.day, f.hour, f.minute,
                  f.second, static_cast<int>(ms - seconds * 1000));
    return s;
}

std::string FormatTicks(int64_t ticks, bool valid) {
    if (!valid) return "null";
    const int64_t ms = ticks / 27000;
    char s[32];
    std::snprintf(s, sizeof s, "%s%lld.%03d", ms < 0 ? "-" : "", static_cast<long long>((ms < 0 ? -ms : ms) / 1000),
                  static_cast<int>((ms < 0 ? -ms : ms) % 1000));
    return s;
}

std::string FormatSeconds(int64_t ms) { return FormatTicks(ms * 27000, true); }

std::string FormatClock(int64_t ms, bool millis) {
    const int64_t s = ms >= 0 ? ms / 1000 : (ms - 999) / 1000;
    char text[24];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", static_cast<int>((s / 3600 % 24 + 24) % 24),
                  static_cast<int>((s / 60 % 60 + 60) % 60), static_cast<int>((s % 60 + 60) % 60));
    std::string t = text;
    if (millis) {
        std::snprintf(text, sizeof text, ".%03d", static_cast<int>(ms - s * 1000));
        t += text;
    }
    return t;
}

std::string FormatTime(const TimeValue& t, bool valid, TimeStyle style) {
    if (!valid) return style == TimeStyle::kJson ? "null" : "----/--/-- --:--:--";
    const TimeFields f = t.Fields();
    char s[40];
    std::snprintf(s, sizeof s, style == TimeStyle::kJson ? "\"%04d-%02d-%02dT%02d:%02d:%02d+09:00\"" : "%04d/%02d/%02d %02d:%02d:%02d",
                  f.year, f.month, f.day, f.hour, f.minute, f.second);
    return s;
}

}  // namespace tsvigil
