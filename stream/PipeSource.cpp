// SPDX-License-Identifier: BSD-2-Clause
#include "stream/PipeSource.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

CPipeSource::~CPipeSource() { Close(); }

int CPipeSource::Open(const char* path) {
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

int CPipeSource::Adopt(int fd) {
    if (m_fd >= 0 || fd < 0) return 0;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) m_nFileSize = st.st_size;
    // One front-to-back pass: ask for aggressive read-ahead.
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    m_fd = fd;
    // The reader waits for a useful amount of room rather than trickling
    // small reads into a ring the framer is draining.
    m_nWakeFree = kReserve + std::max(1, std::min(kReadChunk, (m_ring.GetBufferSize() - kReserve) / 4));
    m_bStop = false;
    m_bFinished = false;
    m_reader = std::thread(&CPipeSource::ReaderThreadProc, this);
    return 1;
}

void CPipeSource::Close() {
    if (m_reader.joinable()) {
        m_bStop.store(true, std::memory_order_release);
        m_spaceSignal.Notify();
        // Each pass of the reader is one read of at most kReadChunk bytes,
        // so it sees the stop within a pass. Give it 2000 ms; a read stuck
        // in a failing device cannot be cut short safely (the thread writes
        // into the ring), so after that the join waits for the read to
        // return rather than leaving the ring or the file in use.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(2000);
        while (!m_bFinished.load(std::memory_order_acquire) &&
               std::chrono::steady_clock::now() < deadline) {
            m_spaceSignal.Notify();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        m_reader.join();
    }
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

void CPipeSource::ReaderThreadProc() {
    const int minRead = m_nWakeFree - kReserve;
    while (!m_bStop.load(std::memory_order_acquire)) {
        bool progressed = false;
        const int n = m_ring.GetFreeSize() - kReserve;
        if (!m_bEnd.load(std::memory_order_relaxed) && n > 0 && n >= minRead) {
            int contiguous = 0;
            uint8_t* dst = m_ring.WritePointer(contiguous);
            const int want = std::min({n, contiguous, kReadChunk});
            const ssize_t got = ::read(m_fd, dst, static_cast<size_t>(want));
            if (got > 0) {
                m_ring.Commit(static_cast<int>(got));
                m_nBytesRead.fetch_add(got, std::memory_order_relaxed);
                progressed = true;
            } else if (got == 0) {
                m_bEnd.store(true, std::memory_order_release);
            } else if (errno != EINTR) {
                // A failing read is not the end of the file; it ends the
                // input all the same, after the bytes already read, and is
                // told apart by IsReadError().
                m_bReadError.store(true, std::memory_order_release);
                m_bEnd.store(true, std::memory_order_release);
            }
            m_dataSignal.Notify();
        }
        if (!progressed) m_spaceSignal.Wait();
    }
    m_bFinished.store(true, std::memory_order_release);
}
