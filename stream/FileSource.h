// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/Platform.h"
#include "stream/StreamSource.h"

namespace tsvigil {

// A regular file as a stream source, read on the caller's thread into
// one buffer that is used over and over: the kernel copies each block out
// of the page cache into memory this thread's CPU already has cached, and
// the framer looks at the packets there. Only the bytes of the look-ahead
// that straddle a block's end are moved, to the buffer's front, before the
// next read.
class FileSource final : public StreamSource {
public:
    static constexpr size_t kBlockSize = 256 * 1024;

    explicit FileSource(size_t blockSize = kBlockSize);
    ~FileSource() override;

    // Opens path when it is a regular file; returns 1 on success, 0
    // otherwise (then nothing is held open).
    int Open(const char* path);
    // Takes file, open for reading on a regular file of size bytes, and
    // reads from where it stands. Returns 1, or 0 (file not taken) when a
    // file is already open.
    int Adopt(FileHandle file, long long size);

    // The input ends where a read first returns 0: a recording still being
    // written is read as far as it has come by then.
    bool IsEnd() override { return m_end; }
    // Reads the next block (the bytes held move to the front first).
    void WaitForData() override;
    int GetDataSize() override { return static_cast<int>(m_last - m_first); }
    const uint8_t* Window(int, uint8_t*) override { return m_buffer.data() + m_first; }
    int Run(const uint8_t*& p) override {
        p = m_buffer.data() + m_first;
        return GetDataSize();
    }
    void Consume(int n) override { m_first += static_cast<size_t>(n); }

    long long BytesRead() const override { return m_bytesRead; }
    long long FileSize() const override { return m_fileSize; }
    bool IsReadError() const override { return m_readError; }
    int ErrorNumber() const override { return m_errorNumber; }

private:
    FileHandle m_file = kNoFile;
    long long m_fileSize = 0;
    long long m_bytesRead = 0;
    bool m_end = false;
    bool m_readError = false;
    int m_errorNumber = 0;
    std::vector<uint8_t> m_buffer;  // a block and the look-ahead carried over
    size_t m_first = 0;            // held bytes are m_buffer[m_first, m_last)
    size_t m_last = 0;
};

}  // namespace tsvigil
