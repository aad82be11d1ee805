// SPDX-License-Identifier: BSD-2-Clause
#include "stream/FileSource.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

CFileSource::CFileSource(size_t blockSize)
    : m_buffer((blockSize < 4096 ? 4096 : blockSize) + static_cast<size_t>(kMaxWindow)) {}

CFileSource::~CFileSource() {
    if (m_fd >= 0) ::close(m_fd);
}

int CFileSource::Open(const char* path) {
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

int CFileSource::Adopt(int fd, long long size) {
    if (m_fd >= 0 || fd < 0) return 0;
    // One front-to-back pass: ask for aggressive read-ahead.
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    m_fd = fd;
    m_nFileSize = size;
    WaitForData();
    return 1;
}

void CFileSource::WaitForData() {
    if (m_bEnd) return;
    // Fewer than kMaxWindow bytes are held whenever the framer asks for
    // more; they move to the front, and a whole block is read after them.
    const size_t held = m_nLast - m_nFirst;
    if (m_nFirst != 0) {
        std::memmove(m_buffer.data(), m_buffer.data() + m_nFirst, held);
        m_nFirst = 0;
        m_nLast = held;
    }
    for (;;) {
        const ssize_t got = ::read(m_fd, m_buffer.data() + m_nLast, m_buffer.size() - m_nLast);
        if (got > 0) {
            m_nLast += static_cast<size_t>(got);
            m_nBytesRead += got;
        } else if (got == 0) {
            m_bEnd = true;
        } else if (errno == EINTR) {
            continue;
        } else {
            // A failing read ends the input all the same, after the bytes
            // already read, and is told apart by IsReadError().
            m_bReadError = true;
            m_bEnd = true;
        }
        return;
    }
}
