// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <string>

namespace tsvigil {

// What the HTML pages share: the style sheet of a recording's page and of
// the index, and how a PID is written.
extern const char* const kHtmlStyle;

// A PID as the pages write it: "0x0100".
std::string HtmlPid(int pid);

}  // namespace tsvigil
