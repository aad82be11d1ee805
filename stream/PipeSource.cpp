// SPDX-License-Identifier: BSD-2-Clause
#include "stream/PipeSource.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

namespace tsvigil {

PipeSource::~PipeSource() { Close(); }

int PipeSource::Open(const char* path) {
    if (m_fd >= 0 || path == nullptr) return 0;
    // Read-only. Linux has no share mode that keeps other processes from
    // writing the file while it is open; a recording still being written is
    // read up to the end it has when the reader reaches it.
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 0;
    if (!Adopt(fd)) {
        ::close(fd);
        return 0;
    }
    return 1;
}

int PipeSource::Adopt(int fd) {
    if (m_fd >= 0 || fd < 0) return 0;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) m_fileSize = st.st_size;
    // One front-to-back pass: ask for aggressive read-ahead.
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    m_fd = fd;
    // The reader waits for a useful amount of room rather than trickling
    // small reads into a ring the framer is draining.
    wakeFree = kReserve + std::max(1, std::min(kReadChunk, (ring.GetBufferSize() - kReserve) / 4));
    m_stop = false;
    m_finished = false;
    m_reader = std::thread(&PipeSource::ReaderThreadProc, this);
    return 1;
}

void PipeSource::Close() {
    if (m_reader.joinable()) {
        m_stop.store(true, std::memory_order_release);
        spaceSignal.Notify();
        // Each pass of the reader is one read of at most kReadChunk bytes,
        // so it sees the stop within a pass. Give it 2000 ms; a read stuck
        // in a failing device cannot be cut short safely (the thread writes
        // into the ring), so after that the join waits for the read to
        // return rather than leaving the ring or the file in use.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(2000);
        while (!m_finished.load(std::memory_order_acquire) &&
               std::chrono::steady_clock::now() < deadline) {
            spaceSignal.Notify();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        m_reader.join();
    }
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

void PipeSource::ReaderThreadProc() {
    const int minRead = wakeFree - kReserve;
    while (!m_stop.load(std::memory_order_acquire)) {
        bool progressed = false;
        const int n = ring.GetFreeSize() - kReserve;
        if (!m_end.load(std::memory_order_relaxed) && n > 0 && n >= minRead) {
            int contiguous = 0;
            uint8_t* dst = ring.WritePointer(contiguous);
            const int want = std::min({n, contiguous, kReadChunk});
            const ssize_t got = ::read(m_fd, dst, static_cast<size_t>(want));
            if (got > 0) {
                ring.Commit(static_cast<int>(got));
                m_bytesRead.fetch_add(got, std::memory_order_relaxed);
                progressed = true;
            } else if (got == 0) {
                m_end.store(true, std::memory_order_release);
            } else if (errno != EINTR) {
                // A failing read is not the end of the file; it ends the
                // input all the same, after the bytes already read, and is
                // told apart by IsReadError().
                m_errorNumber.store(errno, std::memory_order_release);
                m_readError.store(true, std::memory_order_release);
                m_end.store(true, std::memory_order_release);
            }
            dataSignal.Notify();
        }
        if (!progressed) spaceSignal.Wait();
    }
    m_finished.store(true, std::memory_order_release);
}

}  // namespace tsvigil
