// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <string>

#include "base/TimeValue.h"

// The one formatter of broadcast times for every output.
enum class CTimeStyle {
    kReport,  // "2008/06/01 12:34:56", or "----/--/-- --:--:--" without a valid time
    kJson,    // "\"2008-06-01T12:34:56+09:00\"" (ISO 8601, JST, quoted), or "null"
};

// t is used only when valid is true.
std::string FormatTime(const CTimeValue& t, bool valid, CTimeStyle style);
