// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <atomic>
#include <thread>

#include "base/Platform.h"
#include "stream/RingSource.h"

namespace tsvigil {

// Input that is not a regular file (a pipe, a FIFO, /dev/stdin, a
// character device) as a stream source: a reader thread reads it in blocks
// straight into the input ring's free space while the checking thread
// frames packets out of it, so input that arrives as it is made (a
// recording piped in) is checked as it comes.
class PipeSource : public RingSource {
public:
    // Largest single read(2). Small enough that a pass of the reader ends
    // quickly (the stop request is seen between passes) and that the block
    // just read is still in the cache when the framer reaches it.
    static constexpr int kReadChunk = 1024 * 1024;
    // The reader leaves this much of the ring free.
    static constexpr int kReserve = 4096;

    PipeSource() = default;
    ~PipeSource() override;

    // Opens path and starts the reader thread. Returns 1 on success, 0
    // when path cannot be opened (nothing is started then).
    int Open(const char* path);
    // Takes file, open for reading, and starts the reader thread on it.
    // Returns 1, or 0 (file not taken) when an input is already open.
    int Adopt(FileHandle file);
    // Stops the reader thread and closes the input; safe to call at any time.
    void Close();

    // True once every byte of the input is in the input ring (or a read
    // failed: the bytes read before the failure are still delivered).
    bool IsEnd() override { return m_end.load(std::memory_order_acquire); }
    // True when the input ended because a read failed, not at its end.
    bool IsReadError() const override { return m_readError.load(std::memory_order_acquire); }
    // Set before the read error is, so seen once IsReadError() is true.
    int ErrorNumber() const override { return m_errorNumber.load(std::memory_order_acquire); }
    // Bytes read so far, and the size at open of a regular file (0 for
    // anything else): for progress display.
    long long BytesRead() const override { return m_bytesRead.load(std::memory_order_relaxed); }
    long long FileSize() const override { return m_fileSize; }

private:
    void ReaderThreadProc();

    FileHandle m_file = kNoFile;
    long long m_fileSize = 0;
    std::thread m_reader;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_finished{false};
    std::atomic<bool> m_end{false};
    std::atomic<bool> m_readError{false};
    std::atomic<int> m_errorNumber{0};
    std::atomic<long long> m_bytesRead{0};
};

}  // namespace tsvigil
