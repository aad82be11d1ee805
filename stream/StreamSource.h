// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstdint>
#include <memory>

#include "base/Platform.h"

namespace tsvigil {

// A source of transport stream bytes as the packet framer sees it: the
// bytes from the next unconsumed one, looked at where they lie, and the
// test for the end of input. Two kinds stand behind it: a regular file
// read on the checking thread (FileSource), and a ring filled
// by a reader thread (PipeSource, for pipes, FIFOs and devices) or from
// memory (MemorySource).
class StreamSource {
public:
    // The most bytes Window() is asked for at once.
    static constexpr int kMaxWindow = 512;

    StreamSource() = default;
    virtual ~StreamSource() = default;
    StreamSource(const StreamSource&) = delete;
    StreamSource& operator=(const StreamSource&) = delete;

    // True once no more input will come and every byte is held.
    virtual bool IsEnd() = 0;
    // Called when more bytes are needed than are held and the input has not
    // ended: returns after new bytes arrived or about 1 ms.
    virtual void WaitForData() = 0;
    // Bytes held from the next unconsumed one: a lower bound while input
    // continues, exact once IsEnd() was true before the call. Only
    // Consume() makes it drop.
    virtual int GetDataSize() = 0;
    // n held bytes (n <= kMaxWindow) from the next unconsumed one,
    // contiguous: where they lie, or a copy in scratch.
    virtual const uint8_t* Window(int n, uint8_t* scratch) = 0;
    // The held bytes that lie in one run from the next unconsumed one: sets
    // p to the first and returns their count (0 when none). They stay in
    // place until consumed or until the next Window().
    virtual int Run(const uint8_t*& p) = 0;
    // Drops n held bytes.
    virtual void Consume(int n) = 0;

    // Bytes taken from the input so far, and the file's size at open (0
    // when unknown): for progress display.
    virtual long long BytesRead() const { return 0; }
    virtual long long FileSize() const { return 0; }
    // True when the input ended because reading failed, not at its end.
    virtual bool IsReadError() const { return false; }
    // The errno of the read that failed, 0 when none did.
    virtual int ErrorNumber() const { return 0; }
};

// Opens path as a stream source: a regular file is read on the checking
// thread, anything else (a pipe, a FIFO, /dev/stdin, a character device) by
// a reader thread.
// nullptr when it cannot be opened, with errno saying why.
std::unique_ptr<StreamSource> OpenStreamSource(const char* path);
// The same for file, open for reading, which is taken on success.
std::unique_ptr<StreamSource> AdoptStreamSource(FileHandle file);

}  // namespace tsvigil
