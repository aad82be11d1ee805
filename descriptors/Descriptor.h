// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/ByteReader.h"
#include "base/Object.h"

class CARIBStringDecoder;

// Base of every descriptor object: a tag, a length and the members of its
// class. Built only by CreateDescriptor().
class CDescriptor : public CObject {
public:
    int descriptor_tag = 0;
    int descriptor_length = 0;
};

// One row of a tag range's builder table. Each descriptor class names its
// tag once, as kTag, and builds itself in a static Build() from the
// descriptor_length and a reader at the first payload byte (byte 2) that
// ends with the section; each range lists its classes in one table
// (kStandardDescriptorBuilders, kAribDescriptorC0Builders...), and
// CreateDescriptor() finds a tag's builder only there.
struct CDescriptorBuilder {
    using Function = std::unique_ptr<CDescriptor> (*)(int length, CByteReader& r,
                                                     CARIBStringDecoder& dec);
    int tag;
    Function build;
};

template <typename T>
constexpr CDescriptorBuilder BuilderOf() {
    return {T::kTag, &T::Build};
}

// A descriptor loop as typed objects, in stream order.
using CDescriptorList = std::vector<std::unique_ptr<CDescriptor>>;

// Builds the typed object for the descriptor whose tag byte is at p, or
// returns nullptr for a tag the checker does not handle (nothing past the
// tag is read then). sectionEnd is one past the last byte of the section
// holding the descriptor (its CRC_32 included): lengths inside the
// descriptor are taken as they stand but no byte at or past sectionEnd is
// read. Texts are decoded with dec, which the caller keeps for the whole
// loop so that an extended event text can continue across descriptors.
std::unique_ptr<CDescriptor> CreateDescriptor(const uint8_t* p, const uint8_t* sectionEnd,
                                              CARIBStringDecoder& dec);

// Walks the descriptor loop [begin, loopEnd) and appends the handled
// descriptors to list. Each descriptor is stepped over by its own length;
// the walk ends when a descriptor's two header bytes do not fit before
// sectionEnd.
void ParseDescriptorLoop(CDescriptorList& list, const uint8_t* begin, const uint8_t* loopEnd,
                         const uint8_t* sectionEnd, CARIBStringDecoder& dec);

// Walks the descriptor loop that loop spans and appends the handled
// descriptors to list. Only whole descriptors are built, each reading no
// byte outside itself: the walk ends at a descriptor whose
// descriptor_length runs past the loop, so a field cut short never reads
// as 0.
void ParseWholeDescriptors(CDescriptorList& list, CByteReader loop, CARIBStringDecoder& dec);

void ClearDescriptorList(CDescriptorList& list);

// Index of the first descriptor at or after start whose tag is tag, or -1.
int FindDescriptor(const CDescriptorList& list, int tag, int start);

// Decodes the bytes of s with dec into a new string; the one text path of
// every descriptor class.
std::string DecodeText(CARIBStringDecoder& dec, CByteReader::Span s, bool reset);
