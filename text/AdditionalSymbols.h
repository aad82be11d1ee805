// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <string>

namespace tsvigil {

// Replaces each ARIB additional symbol that JISToSJIS() mapped into the
// Shift_JIS user-defined area with a short readable label ("[HV]", "[字]",
// "ほか", ...). text is NUL-terminated Shift_JIS; a null text gives an
// empty result.
std::string LabelAdditionalSymbols(const char* text);

}  // namespace tsvigil
