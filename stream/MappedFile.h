#pragma once

#include <cstddef>
#include <cstdint>

#include "stream/TransportStream.h"

// A regular file as a stream source, mapped into memory one window at a
// time and read on the caller's thread: the framer looks at the packets
// where the page cache holds them, and no byte is copied or handed to
// another CPU.
//
// Each window starts at the page holding the next unconsumed byte, so
// windows overlap and the look-ahead across a window's end is always whole.
// The window behind is unmapped as the next is mapped: however large the
// file, only about one window of its pages counts in the resident set.
//
// A file cut short by another program while mapped would raise SIGBUS at
// the first page past its new end. A process-wide handler maps a page of
// zeros over the faulting page and notes where it was; the input then ends
// there, as a read error, after the bytes before it.
class CMappedFile final : public CTransportStream {
public:
    static constexpr size_t kWindowSize = 16 * 1024 * 1024;

    // windowSize is rounded up to whole pages, two at least.
    explicit CMappedFile(size_t windowSize = kWindowSize);
    ~CMappedFile() override;

    // Maps path when it is a regular file with bytes in it; returns 1 on
    // success, 0 otherwise (then nothing is held open). Only one mapped file
    // is open in a process at a time; a second Open() returns 0.
    int Open(const char* path);

    // A file is read to the size it has when the framer reaches its end: a
    // recording still being written is read as far as it has come by then.
    bool IsEnd() override;
    void WaitForData() override {}
    int GetDataSize() override;
    const uint8_t* Window(int n, uint8_t* scratch) override;
    int Run(const uint8_t*& p) override;
    void Consume(int n) override { m_nPos += n; }

    long long BytesRead() const override { return m_nPos; }
    long long FileSize() const override { return m_nFileSize; }
    bool IsReadError() const override { return m_bReadError; }

private:
    // Takes in a fault noted by the SIGBUS handler: the input ends there.
    void TakeFault();
    // Maps the window starting at the page that holds m_nPos.
    bool MapAt();
    void Unmap();

    size_t m_nWindowSize;
    size_t m_nPageSize;
    int m_fd = -1;
    bool m_bOwnsHandlerSlot = false;
    long long m_nFileSize = 0;  // at open
    long long m_nEnd = 0;       // end of input: the file's size, or where a read faulted
    long long m_nPos = 0;       // the next unconsumed byte
    bool m_bReadError = false;
    uint8_t* m_pMap = nullptr;
    size_t m_nMapLength = 0;
    long long m_nMapOffset = 0;  // file offset of m_pMap[0]
};
