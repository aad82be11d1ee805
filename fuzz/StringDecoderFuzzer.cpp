// SPDX-License-Identifier: BSD-2-Clause
// ARIBStringDecoder::Decode fed arbitrary 8-unit code in pieces: each call
// takes a count (negative, zero, up to past the 512-byte work buffer), the
// bytes for it, a reset value and sometimes a null source, so state carried
// between calls (designations, single shifts, an unfinished escape) is
// exercised. Every result then goes through LabelAdditionalSymbols.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "text/ARIBStringDecoder.h"
#include "text/AdditionalSymbols.h"

namespace tsvigil {

}  // namespace tsvigil

using namespace tsvigil;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    ARIBStringDecoder dec;
    // Exactly the documented bound, so any write past it is caught.
    std::vector<char> out(2 * ARIBStringDecoder::kWorkSize + 1);
    while (in.remaining_bytes() > 0) {
        const uint8_t op = in.ConsumeIntegral<uint8_t>();
        const int reset = (op & 0x01) ? in.ConsumeIntegral<int>() : 0;
        int count = in.ConsumeIntegralInRange<int>(-600, 1200);
        std::vector<uint8_t> bytes;
        const uint8_t* src = nullptr;
        if (count > 0) {
            bytes = in.ConsumeBytes<uint8_t>(static_cast<size_t>(count));
            count = static_cast<int>(bytes.size());
        }
        // A negative count or a null source is no input, whatever the pointer.
        if ((op & 0x06) != 0x06) src = bytes.empty() ? data : bytes.data();
        const char* text = dec.Decode(out.data(), src, count, reset);
        if (text != out.data()) __builtin_trap();
        const size_t len = strnlen(text, out.size());
        if (len >= out.size()) __builtin_trap();  // no terminating NUL inside out
        if (count > 0 && static_cast<int>(len) > 2 * count + 2 * ARIBStringDecoder::kWorkSize)
            __builtin_trap();
        const std::string labelled = LabelAdditionalSymbols(text);
        if (labelled.find('\0') != std::string::npos) __builtin_trap();
    }
    return 0;
}
