// SPDX-License-Identifier: BSD-2-Clause
#include "stream/RingBuffer.h"

#include <algorithm>
#include <cstring>

namespace tsvigil {

RingBuffer::RingBuffer() { SetBufferSize(kDefaultSize); }

void RingBuffer::SetBufferSize(int n) {
    if (n < 2) n = 2;
    m_bufferSize = n;
    m_mirror = std::min(kMirror, n);
    m_storage.assign(static_cast<size_t>(n) + static_cast<size_t>(m_mirror), 0);
    m_writePos.store(0, std::memory_order_relaxed);
    m_readPos.store(0, std::memory_order_relaxed);
}

uint8_t RingBuffer::PeekByte(int offset) const {
    if (offset < 0 || offset >= GetDataSize()) return 0;
    const int r = m_readPos.load(std::memory_order_relaxed);
    const int i = r + offset;
    return m_storage[static_cast<size_t>(i >= m_bufferSize ? i - m_bufferSize : i)];
}

int RingBuffer::Read(uint8_t* dst, int n) {
    const int count = std::min(std::max(n, 0), GetDataSize());
    const int r = m_readPos.load(std::memory_order_relaxed);
    const int first = std::min(count, m_bufferSize - r);
    std::memcpy(dst, &m_storage[static_cast<size_t>(r)], static_cast<size_t>(first));
    std::memcpy(dst + first, m_storage.data(), static_cast<size_t>(count - first));
    m_readPos.store(Wrap(r + count), std::memory_order_release);
    return count;
}

int RingBuffer::Write(const uint8_t* src, int n) {
    if (n < 0) n = 0;
    int left = std::min(n, m_bufferSize - GetDataSize() - 1);
    const bool all = left == n;
    while (left > 0) {
        int room = 0;
        uint8_t* dst = WritePointer(room);
        const int take = std::min(left, room);
        std::memcpy(dst, src, static_cast<size_t>(take));
        Commit(take);
        src += take;
        left -= take;
    }
    return all ? 1 : 0;
}

uint8_t* RingBuffer::WritePointer(int& contiguous) {
    const int w = m_writePos.load(std::memory_order_relaxed);
    const int free = m_bufferSize - GetDataSize() - 1;
    contiguous = std::min(free, m_bufferSize - w);
    return &m_storage[static_cast<size_t>(w)];
}

void RingBuffer::Commit(int n) {
    if (n <= 0) return;
    const int w = m_writePos.load(std::memory_order_relaxed);
    // Bytes stored at the head of the storage are repeated past its end
    // before they are published, so the consumer's window is always whole.
    if (w < m_mirror) {
        const int end = std::min(w + n, m_mirror);
        std::memcpy(&m_storage[static_cast<size_t>(m_bufferSize + w)],
                    &m_storage[static_cast<size_t>(w)], static_cast<size_t>(end - w));
    }
    m_writePos.store(Wrap(w + n), std::memory_order_release);
}

}  // namespace tsvigil
