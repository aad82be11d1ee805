// SPDX-License-Identifier: BSD-2-Clause
#pragma once

namespace tsvigil {

// Common root of the checker's classes. Only the destructor is ever
// overridden; it is virtual so owned arrays of derived objects release
// them through a base pointer.
struct Object {
    virtual ~Object() = default;
};

}  // namespace tsvigil
