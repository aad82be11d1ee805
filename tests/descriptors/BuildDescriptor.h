// SPDX-License-Identifier: BSD-2-Clause
#pragma once

// Helpers of the descriptor tests: building one descriptor from bytes
// whose section ends with them, and looking at it as its class.

#include <cstdint>
#include <memory>
#include <vector>

#include "descriptors/Descriptor.h"
#include "text/ARIBStringDecoder.h"

namespace tsvigil {

namespace testutil {

// Builds the descriptor at the start of b; the section ends with b, so
// AddressSanitizer flags any read past it.
inline std::unique_ptr<Descriptor> BuildDescriptor(const std::vector<uint8_t>& b) {
    ARIBStringDecoder dec;
    return CreateDescriptor(b.data(), b.data() + b.size(), dec);
}

template <typename T>
const T* As(const std::unique_ptr<Descriptor>& d) {
    return dynamic_cast<const T*>(d.get());
}

}  // namespace testutil

}  // namespace tsvigil
