// SPDX-License-Identifier: BSD-2-Clause
// Text lines on a POSIX system: LF ends them, and a terminal takes the
// bytes it is given, so nothing is switched.
#include "base/Platform.h"

namespace tsvigil {

bool TextLinesEndWithCrLf() { return false; }

const char* const kPathSeparators = "/";

void ShowUtf8OnConsole(std::FILE*) {}

}  // namespace tsvigil
