#pragma once

#include <atomic>
#include <string>
#include <thread>

#include "stream/RingSource.h"

// A stream source backed by a file: a reader thread reads the file in
// blocks straight into the input ring's free space while the main thread
// frames packets out of it.
class CTSFile : public CRingStream {
public:
    // Largest single read(2). Small enough that a pass of the reader ends
    // quickly (the stop request is seen between passes) and that the block
    // just read is still in the cache when the framer reaches it.
    static constexpr int kReadChunk = 1024 * 1024;
    // The reader leaves this much of the ring free.
    static constexpr int kReserve = 4096;

    CTSFile() = default;
    ~CTSFile() override;

    // Opens the file and starts the reader thread. Returns 1 on success,
    // 0 when the file cannot be opened (nothing is started then).
    int Open(const char* path);
    // Stops the reader thread and closes the file; safe to call at any time.
    void Close();

    // True once every byte of the file is in the input ring (or a read
    // failed: the bytes read before the failure are still delivered).
    bool IsEnd() override { return m_bEnd.load(std::memory_order_acquire); }
    // True when the input ended because a read failed, not at end of file.
    bool IsReadError() const override { return m_bReadError.load(std::memory_order_acquire); }
    // Bytes of the file read so far, and the file's size at open (0 when
    // unknown): for progress display.
    long long BytesRead() const override { return m_nBytesRead.load(std::memory_order_relaxed); }
    long long FileSize() const override { return m_nFileSize; }

private:
    void ReaderThreadProc();

    int m_fd = -1;
    long long m_nFileSize = 0;
    std::thread m_reader;
    std::atomic<bool> m_bStop{false};
    std::atomic<bool> m_bFinished{false};
    std::atomic<bool> m_bEnd{false};
    std::atomic<bool> m_bReadError{false};
    std::atomic<long long> m_nBytesRead{0};
};
