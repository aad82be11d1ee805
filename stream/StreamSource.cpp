// SPDX-License-Identifier: BSD-2-Clause
#include "stream/StreamSource.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "stream/FileSource.h"
#include "stream/PipeSource.h"

namespace tsvigil {

std::unique_ptr<StreamSource> OpenStreamSource(const char* path) {
    if (path == nullptr) return nullptr;
    // The path is opened once, and what it is comes from that descriptor:
    // a FIFO opened twice would lose its writer at the first close (SIGPIPE)
    // and wait for a new one forever at the second open.
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    auto source = AdoptStreamSource(fd);
    if (!source) {
        const int error = errno;
        ::close(fd);
        errno = error;
    }
    return source;
}

std::unique_ptr<StreamSource> AdoptStreamSource(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) return nullptr;
    // A regular file is read on the checking thread: no byte crosses
    // between CPUs. What is not a regular file keeps the reader thread,
    // which also suits a recording piped in while it is made.
    if (S_ISREG(st.st_mode)) {
        auto file = std::make_unique<FileSource>();
        if (file->Adopt(fd, static_cast<long long>(st.st_size))) return file;
    } else {
        auto piped = std::make_unique<PipeSource>();
        if (piped->Adopt(fd)) return piped;
    }
    return nullptr;
}

}  // namespace tsvigil
