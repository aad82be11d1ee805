// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/ByteReader.h"
#include "base/Object.h"

namespace tsvigil {

class ARIBStringDecoder;

// Base of every descriptor object: a tag, a length and the members of its
// class. Built only by CreateDescriptor().
class Descriptor : public Object {
public:
    int descriptor_tag = 0;
    int descriptor_length = 0;
};

// One row of a tag range's builder table. Each descriptor class names its
// tag once, as kTag, and builds itself in a static Build() from the
// descriptor_length and a reader at the first payload byte (byte 2) that
// ends with the descriptor loop; each range lists its classes in one table
// (kStandardDescriptorBuilders, kAribDescriptorC0Builders...), and
// CreateDescriptor() finds a tag's builder only there.
struct DescriptorBuilder {
    using Function = std::unique_ptr<Descriptor> (*)(int length, ByteReader& r,
                                                     ARIBStringDecoder& dec);
    int tag;
    Function build;
};

template <typename T>
constexpr DescriptorBuilder BuilderOf() {
    return {T::kTag, &T::Build};
}

// A descriptor loop as typed objects, in stream order.
using DescriptorList = std::vector<std::unique_ptr<Descriptor>>;

// Builds the typed object for the descriptor whose tag byte is at p, or
// returns nullptr for a tag the checker does not handle (nothing past the
// tag is read then). end is one past the last byte the descriptor may read
// (the end of its loop, or of the section): lengths inside the descriptor
// are taken as they stand but no byte at or past end is read. Texts are
// decoded with dec, which the caller keeps for the whole loop so that an
// extended event text can continue across descriptors.
std::unique_ptr<Descriptor> CreateDescriptor(const uint8_t* p, const uint8_t* end,
                                              ARIBStringDecoder& dec);
// The same; overran tells whether the descriptor's fields ran past its
// descriptor_length or past end (false for a tag not handled).
std::unique_ptr<Descriptor> CreateDescriptor(const uint8_t* p, const uint8_t* end,
                                              ARIBStringDecoder& dec, bool& overran);

// Walks the descriptor loop that loop spans (its bytes, no further: never
// the next event, service or stream, nor the CRC_32) and appends the handled
// descriptors to list, each stepped over by its descriptor_length. Each is
// built from its payload to the loop's end, so lengths inside it are taken
// as they stand and a field past the loop reads as 0. A descriptor whose
// descriptor_length runs past the loop is cut short: it is kept with what
// it has, and the walk ends after it; a lone byte left at the loop's end
// builds nothing. Returns how many descriptors were cut short or had
// fields that ran past their descriptor_length.
int ParseDescriptorLoop(DescriptorList& list, ByteReader loop, ARIBStringDecoder& dec);

void ClearDescriptorList(DescriptorList& list);

// Index of the first descriptor at or after start whose tag is tag, or -1.
int FindDescriptor(const DescriptorList& list, int tag, int start);

// Decodes the bytes of s with dec into a new string; the one text path of
// every descriptor class.
std::string DecodeText(ARIBStringDecoder& dec, ByteReader::Span s, bool reset);

}  // namespace tsvigil
