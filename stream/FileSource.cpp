// SPDX-License-Identifier: BSD-2-Clause
#include "stream/FileSource.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tsvigil {

FileSource::FileSource(size_t blockSize)
    : m_buffer((blockSize < 4096 ? 4096 : blockSize) + static_cast<size_t>(kMaxWindow)) {}

FileSource::~FileSource() {
    if (m_fd >= 0) ::close(m_fd);
}

int FileSource::Open(const char* path) {
    if (m_fd >= 0 || path == nullptr) return 0;
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 0;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || !Adopt(fd, st.st_size)) {
        ::close(fd);
        return 0;
    }
    return 1;
}

int FileSource::Adopt(int fd, long long size) {
    if (m_fd >= 0 || fd < 0) return 0;
    // One front-to-back pass: ask for aggressive read-ahead.
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    m_fd = fd;
    m_fileSize = size;
    WaitForData();
    return 1;
}

void FileSource::WaitForData() {
    if (m_end) return;
    // Fewer than kMaxWindow bytes are held whenever the framer asks for
    // more; they move to the front, and a whole block is read after them.
    const size_t held = m_last - m_first;
    if (m_first != 0) {
        std::memmove(m_buffer.data(), m_buffer.data() + m_first, held);
        m_first = 0;
        m_last = held;
    }
    for (;;) {
        const ssize_t got = ::read(m_fd, m_buffer.data() + m_last, m_buffer.size() - m_last);
        if (got > 0) {
            m_last += static_cast<size_t>(got);
            m_bytesRead += got;
        } else if (got == 0) {
            m_end = true;
        } else if (errno == EINTR) {
            continue;
        } else {
            // A failing read ends the input all the same, after the bytes
            // already read, and is told apart by IsReadError().
            m_errorNumber = errno;
            m_readError = true;
            m_end = true;
        }
        return;
    }
}

}  // namespace tsvigil
