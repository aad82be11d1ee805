#include "stream/TransportStream.h"

#include "stream/MappedFile.h"
#include "stream/ReadFile.h"
#include "stream/TSFile.h"

namespace {

// Whether a regular file is mapped (CMappedFile) or read into one reused
// buffer (CReadFile); both run on the checking thread. Mapping copies
// nothing, but every 4 KiB page of the file is a new page of this process
// whose first touch costs a page-table fill; on a guest whose page tables
// are shadowed by the hypervisor that fill traps, and costs more than the
// kernel's copy of the same page into a buffer that stays mapped and
// cached (see the README's Benchmark section).
constexpr bool kMapRegularFiles = false;

}  // namespace

std::unique_ptr<CTransportStream> OpenTransportStream(const char* path) {
    // A regular file is read on the checking thread: no byte crosses
    // between CPUs. What is not a regular file keeps the reader thread,
    // which also suits a recording piped in while it is made.
    if (kMapRegularFiles) {
        auto mapped = std::make_unique<CMappedFile>();
        if (mapped->Open(path)) return mapped;
    } else {
        auto file = std::make_unique<CReadFile>();
        if (file->Open(path)) return file;
    }
    auto file = std::make_unique<CTSFile>();
    if (file->Open(path)) return file;
    return nullptr;
}
