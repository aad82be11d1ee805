// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "base/Object.h"

namespace tsvigil {

// A fixed-capacity byte ring for one producer thread and one consumer
// thread. It holds at most size - 1 bytes, so the write position never
// catches up with the read position.
//
// The two positions are atomics: only the producer moves the write position
// and only the consumer moves the read position, each publishing with
// release and reading the other's with acquire. So by the time the consumer
// uses GetDataSize() the true count can only have grown, and by the time
// the producer uses GetFreeSize() the true free space can only have grown;
// neither side ever waits for a lock held by the other.
//
// The first kMirror bytes of the storage are repeated after its end: a
// consumer can then look at up to kMirror held bytes from any read position
// through one pointer, without wrapping.
class RingBuffer : public Object {
public:
    static constexpr int kDefaultSize = 0x10000;
    static constexpr int kMirror = 512;

    RingBuffer();

    // Replaces the storage; used only on a new, empty ring.
    void SetBufferSize(int n);
    int GetBufferSize() const { return m_bufferSize; }

    int GetDataSize() const {
        const int d = m_writePos.load(std::memory_order_acquire) - m_readPos.load(std::memory_order_acquire);
        return d < 0 ? d + m_bufferSize : d;
    }
    int GetFreeSize() const { return m_bufferSize - GetDataSize(); }

    // The byte offset places after the next unconsumed one; 0 when offset
    // is not below the bytes held. Consumes nothing.
    uint8_t PeekByte(int offset) const;
    // Copies min(n, held) bytes out in order and consumes them.
    int Read(uint8_t* dst, int n);
    // Stores min(n, size - held - 1) bytes; returns 1 when all n were
    // stored, 0 when some were dropped.
    int Write(const uint8_t* src, int n);

    // Consumer: the next unconsumed byte. min(GetDataSize(), Window()) bytes
    // can be read from it without wrapping.
    const uint8_t* ReadPointer() const {
        return m_storage.data() + m_readPos.load(std::memory_order_relaxed);
    }
    int Window() const { return m_mirror; }
    // Consumer: how many held bytes lie in one run from ReadPointer(): up
    // to the end of the storage, and on through the mirror when they wrap.
    int Run() const {
        const int held = GetDataSize();
        const int toEnd = m_bufferSize - m_readPos.load(std::memory_order_relaxed);
        if (held <= toEnd) return held;
        return toEnd + (held - toEnd < m_mirror ? held - toEnd : m_mirror);
    }
    // Consumer: drops n held bytes (n must not exceed the bytes held).
    void Consume(int n) {
        m_readPos.store(Wrap(m_readPos.load(std::memory_order_relaxed) + n), std::memory_order_release);
    }

    // Producer: where the next bytes go, and how many fit there in one run
    // (up to the end of the storage, keeping one byte free).
    uint8_t* WritePointer(int& contiguous);
    // Producer: publishes n bytes written at WritePointer().
    void Commit(int n);

private:
    // A position moved forward by at most one buffer size, wrapped.
    int Wrap(int pos) const { return pos >= m_bufferSize ? pos - m_bufferSize : pos; }

    int m_bufferSize = kDefaultSize;
    int m_mirror = 0;
    std::atomic<int> m_writePos{0};
    std::atomic<int> m_readPos{0};
    std::vector<uint8_t> m_storage;
};

}  // namespace tsvigil
