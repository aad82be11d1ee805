// SPDX-License-Identifier: BSD-2-Clause
#include "descriptors/Descriptor.h"

#include <array>
#include <cstddef>

#include "descriptors/AribDescriptorsC0.h"
#include "descriptors/AribDescriptorsD0.h"
#include "descriptors/AribDescriptorsE0.h"
#include "descriptors/StandardDescriptors.h"
#include "text/ARIBStringDecoder.h"

namespace tsvigil {

namespace {

using BuilderIndex = std::array<DescriptorBuilder::Function, 256>;

// True when every tag of the range lies in [first, last] and none is listed
// twice; the ranges do not overlap, so no tag can have two builders.
template <size_t N>
constexpr bool TagsOwnedOnce(const DescriptorBuilder (&range)[N], int first, int last) {
    for (size_t i = 0; i < N; ++i) {
        if (range[i].tag < first || range[i].tag > last) return false;
        for (size_t j = 0; j < i; ++j)
            if (range[j].tag == range[i].tag) return false;
    }
    return true;
}
static_assert(TagsOwnedOnce(kStandardDescriptorBuilders, 0x00, 0xBF), "tags below 0xC0");
static_assert(TagsOwnedOnce(kAribDescriptorC0Builders, 0xC0, 0xCF), "tags 0xC0 to 0xCF");
static_assert(TagsOwnedOnce(kAribDescriptorD0Builders, 0xD0, 0xDF), "tags 0xD0 to 0xDF");
static_assert(TagsOwnedOnce(kAribDescriptorE0Builders, 0xE0, 0xFF), "tags 0xE0 to 0xFF");

template <size_t N>
constexpr void Enter(BuilderIndex& index, const DescriptorBuilder (&range)[N]) {
    for (const DescriptorBuilder& b : range) index[static_cast<size_t>(b.tag)] = b.build;
}

constexpr BuilderIndex IndexByTag() {
    BuilderIndex index{};
    Enter(index, kStandardDescriptorBuilders);
    Enter(index, kAribDescriptorC0Builders);
    Enter(index, kAribDescriptorD0Builders);
    Enter(index, kAribDescriptorE0Builders);
    return index;
}

// The builder of every handled tag, nullptr for the others.
constexpr BuilderIndex kBuildersByTag = IndexByTag();

}  // namespace

std::unique_ptr<Descriptor> CreateDescriptor(const uint8_t* p, const uint8_t* end,
                                              ARIBStringDecoder& dec, bool& overran) {
    overran = false;
    if (p == nullptr || end <= p) return nullptr;
    ByteReader r(p, static_cast<size_t>(end - p));
    const int tag = r.U8();
    const DescriptorBuilder::Function build = kBuildersByTag[static_cast<size_t>(tag)];
    if (build == nullptr) return nullptr;
    // A length byte past the end reads as 0.
    const int length = r.U8();
    std::unique_ptr<Descriptor> out = build(length, r, dec);
    overran = r.Overrun() || r.Pos() > static_cast<size_t>(2 + length);
    if (out) {
        out->descriptor_tag = tag;
        out->descriptor_length = length;
    }
    return out;
}

std::unique_ptr<Descriptor> CreateDescriptor(const uint8_t* p, const uint8_t* end,
                                              ARIBStringDecoder& dec) {
    bool overran = false;
    return CreateDescriptor(p, end, dec, overran);
}

int ParseDescriptorLoop(DescriptorList& list, ByteReader loop, ARIBStringDecoder& dec) {
    int errors = 0;
    while (loop.Remaining() >= 2) {
        const int length = loop.PeekAt(1);
        const bool whole = static_cast<size_t>(2 + length) <= loop.Remaining();
        const uint8_t* p = loop.Data() + loop.Pos();
        const uint8_t* end = p + loop.Remaining();
        bool overran = false;
        if (auto out = CreateDescriptor(p, end, dec, overran)) list.push_back(std::move(out));
        if (!whole || overran) ++errors;
        loop.Skip(2 + length);
    }
    // A tag byte without its descriptor_length.
    if (!loop.AtEnd()) ++errors;
    return errors;
}

void ClearDescriptorList(DescriptorList& list) { list.clear(); }

int FindDescriptor(const DescriptorList& list, int tag, int start) {
    if (start < 0) start = 0;
    for (size_t i = static_cast<size_t>(start); i < list.size(); ++i) {
        if (list[i]->descriptor_tag == tag) return static_cast<int>(i);
    }
    return -1;
}

std::string DecodeText(ARIBStringDecoder& dec, ByteReader::Span s, bool reset) {
    // Room for the output of a whole work buffer (two bytes per input byte).
    char out[2 * ARIBStringDecoder::kWorkSize + 1];
    return dec.Decode(out, s.data, s.size, reset ? 1 : 0);
}

}  // namespace tsvigil
