// SPDX-License-Identifier: BSD-2-Clause
// The whole check over arbitrary bytes: framing (188/192/204 and lost sync),
// section assembly on PIDs 0x0012 and 0x0014, TOT and EIT parsing, every
// descriptor of their loops, ARIB text decoding and the report lines; with
// the first byte's low bits choosing the summary (PAT, PMT, CAT and SDT
// followed), JSON Lines and the verdict.

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "app/Runner.h"
#include "stream/MemorySource.h"

namespace tsvigil {

}  // namespace tsvigil

using namespace tsvigil;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static std::FILE* sink = std::fopen("/dev/null", "w");
    if (sink == nullptr) return 0;
    MemorySource source(data, size);
    CheckOptions options;
    options.summary = size > 0 && (data[0] & 1);
    options.json = size > 0 && (data[0] & 2);
    options.verdict = size > 0 && (data[0] & 4);
    CheckStream(&source, sink, options);
    return 0;
}
