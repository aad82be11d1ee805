// SPDX-License-Identifier: BSD-2-Clause
// CreateDescriptor over arbitrary bytes under every tag: the input stands
// after the tag byte and the section ends right after it, so any length
// field that reaches past the input must be stopped by the factory. The
// same bytes are then walked as a descriptor loop.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "descriptors/Descriptor.h"
#include "text/ARIBStringDecoder.h"

namespace tsvigil {

}  // namespace tsvigil

using namespace tsvigil;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 4096) return 0;  // no descriptor outlives a section
    ARIBStringDecoder dec;
    for (int tag = 0; tag < 256; ++tag) {
        // Exactly sized so that AddressSanitizer sees any read past the end.
        std::vector<uint8_t> d(size + 1);
        d[0] = static_cast<uint8_t>(tag);
        for (size_t i = 0; i < size; ++i) d[i + 1] = data[i];
        // One decoder for every tag, as one loop shares it: carried-over
        // state of one descriptor's text must not upset the next.
        auto desc = CreateDescriptor(d.data(), d.data() + d.size(), dec);
        if (desc && desc->descriptor_tag != tag) __builtin_trap();
    }

    std::vector<uint8_t> loop(data, data + size);
    DescriptorList list;
    const int errors = ParseDescriptorLoop(list, ByteReader(loop.data(), loop.size()), dec);
    // Each error is a descriptor of the loop, or the lone byte at its end.
    if (errors < 0 || static_cast<size_t>(errors) > size / 2 + 1) __builtin_trap();
    for (size_t i = 0; i < list.size(); ++i) FindDescriptor(list, list[i]->descriptor_tag, 0);
    ClearDescriptorList(list);
    return 0;
}
