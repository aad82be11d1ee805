// SPDX-License-Identifier: BSD-2-Clause
#include "stream/StreamSource.h"

#include <cerrno>

#include "base/Platform.h"
#include "stream/FileSource.h"
#include "stream/PipeSource.h"

namespace tsvigil {

std::unique_ptr<StreamSource> OpenStreamSource(const char* path) {
    if (path == nullptr) return nullptr;
    // The path is opened once, and what it is comes from that descriptor:
    // a FIFO opened twice would lose its writer at the first close (SIGPIPE)
    // and wait for a new one forever at the second open.
    const FileHandle file = OpenForReading(path);
    if (file == kNoFile) return nullptr;
    auto source = AdoptStreamSource(file);
    if (!source) {
        const int error = errno;
        CloseFile(file);
        errno = error;
    }
    return source;
}

std::unique_ptr<StreamSource> AdoptStreamSource(FileHandle file) {
    FileStatus st;
    if (!StatusOf(file, st)) return nullptr;
    // A regular file is read on the checking thread: no byte crosses
    // between CPUs. What is not a regular file keeps the reader thread,
    // which also suits a recording piped in while it is made.
    if (st.kind == FileKind::Regular) {
        auto regular = std::make_unique<FileSource>();
        if (regular->Adopt(file, st.size)) return regular;
    } else {
        auto piped = std::make_unique<PipeSource>();
        if (piped->Adopt(file)) return piped;
    }
    return nullptr;
}

}  // namespace tsvigil
