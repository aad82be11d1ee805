// SPDX-License-Identifier: BSD-2-Clause
#include "stream/PipeSource.h"

#include <algorithm>
#include <cerrno>
#include <chrono>

#include "base/Platform.h"

namespace tsvigil {

PipeSource::~PipeSource() { Close(); }

int PipeSource::Open(const char* path) {
    if (m_file != kNoFile || path == nullptr) return 0;
    const FileHandle file = OpenForReading(path);
    if (file == kNoFile) return 0;
    if (!Adopt(file)) {
        CloseFile(file);
        return 0;
    }
    return 1;
}

int PipeSource::Adopt(FileHandle file) {
    if (m_file != kNoFile || file == kNoFile) return 0;
    FileStatus st;
    if (StatusOf(file, st) && st.kind == FileKind::Regular) m_fileSize = st.size;
    AdviseSequential(file);
    m_file = file;
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
    if (m_file != kNoFile) {
        CloseFile(m_file);
        m_file = kNoFile;
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
            const long long got = ReadSome(m_file, dst, static_cast<size_t>(want));
            if (got > 0) {
                ring.Commit(static_cast<int>(got));
                m_bytesRead.fetch_add(got, std::memory_order_relaxed);
                progressed = true;
            } else if (got == 0) {
                m_end.store(true, std::memory_order_release);
            } else {
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
