// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstdint>
#include <string>

#include "base/TimeValue.h"

namespace tsvigil {

// The one formatter of broadcast times for every output.
enum class TimeStyle {
    kReport,  // "2008/06/01 12:34:56", or "----/--/-- --:--:--" without a valid time
    kJson,    // "\"2008-06-01T12:34:56+09:00\"" (ISO 8601, JST, quoted), or "null"
};

// t is used only when valid is true.
std::string FormatTime(const TimeValue& t, bool valid, TimeStyle style);
// A broadcast time in milliseconds since 1970 (JST): ISO 8601 with
// milliseconds and the JST offset, quoted, "\"2008-06-01T12:34:56.789+09:00\"",
// or "null".
std::string FormatMilliseconds(int64_t ms, bool valid);
// 27 MHz ticks as seconds to the millisecond, "12.345", or "null".
std::string FormatTicks(int64_t ticks, bool valid);
// Milliseconds as seconds, "3.522".
std::string FormatSeconds(int64_t ms);
// The time of day of a broadcast time in milliseconds, "12:34:56.789", or
// "12:34:56" without the milliseconds.
std::string FormatClock(int64_t ms, bool millis = true);

}  // namespace tsvigil
