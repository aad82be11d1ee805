// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <string>

#include "base/Platform.h"

namespace tsvigil {

// An errno as its name and the C locale's message, whatever the locale:
// "ENOENT: No such file or directory". Empty for 0.
inline std::string ErrorText(int number) {
    if (number == 0) return std::string();
    std::string name = ErrorName(number);
    std::string text = ErrorMessage(number);
    return (name.empty() ? "E" + std::to_string(number) : name) + ": " +
           (text.empty() ? "Unknown error " + std::to_string(number) : text);
}

}  // namespace tsvigil
