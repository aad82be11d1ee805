// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <string.h>

#include <string>

namespace tsvigil {

// An errno as its name and the C locale's message, whatever the locale:
// "ENOENT: No such file or directory". Empty for 0.
inline std::string ErrorText(int number) {
    if (number == 0) return std::string();
    const char* name = strerrorname_np(number);
    const char* text = strerrordesc_np(number);
    return std::string(name ? name : "E" + std::to_string(number)) + ": " +
           (text ? text : "Unknown error " + std::to_string(number));
}

}  // namespace tsvigil
