// SPDX-License-Identifier: BSD-2-Clause
#pragma once

// What the Build() functions of the descriptor classes share. Each takes the
// descriptor_length, a reader positioned at the first payload byte (byte 2)
// that ends with the descriptor loop, and the decoder of the parse; the factory
// sets descriptor_tag and descriptor_length on what it returns.

#include <memory>
#include <vector>

#include "descriptors/Descriptor.h"

namespace tsvigil {

// The descriptor ends before byte length + 2 (r's position counts from the
// tag byte) and the loop ends where r ends.

// True while r stands before the descriptor's stated end and before the
// loop's end. An entry loop guarded by this either advances or stops,
// whatever the counts inside the descriptor claim.
inline bool InDescriptor(const ByteReader& r, int length) {
    return !r.AtEnd() && r.Pos() < static_cast<size_t>(length) + 2;
}

// Bytes left before the descriptor's stated end; none once the fixed fields
// of a too-short descriptor have already run past it.
inline int LeftInDescriptor(const ByteReader& r, int length) {
    const size_t end = static_cast<size_t>(length) + 2;
    return r.Pos() < end ? static_cast<int>(end - r.Pos()) : 0;
}

inline std::vector<uint8_t> ToBytes(ByteReader::Span s) {
    return s.size > 0 ? std::vector<uint8_t>(s.data, s.data + s.size) : std::vector<uint8_t>();
}

// The bytes from r to the descriptor's end, as far as the section holds them.
inline std::vector<uint8_t> RestOfDescriptor(ByteReader& r, int length) {
    return ToBytes(r.Bytes(LeftInDescriptor(r, length)));
}

}  // namespace tsvigil
