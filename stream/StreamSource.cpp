// SPDX-License-Identifier: BSD-2-Clause
#include "stream/StreamSource.h"

#include "stream/FileSource.h"
#include "stream/PipeSource.h"

std::unique_ptr<CStreamSource> OpenStreamSource(const char* path) {
    // A regular file is read on the checking thread: no byte crosses
    // between CPUs. What is not a regular file keeps the reader thread,
    // which also suits a recording piped in while it is made.
    auto file = std::make_unique<CFileSource>();
    if (file->Open(path)) return file;
    auto piped = std::make_unique<CPipeSource>();
    if (piped->Open(path)) return piped;
    return nullptr;
}
