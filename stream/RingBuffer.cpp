// SPDX-License-Identifier: BSD-2-Clause
#include "stream/RingBuffer.h"

#include <algorithm>
#include <cstring>

CRingBuffer::CRingBuffer() { SetBufferSize(kDefaultSize); }

void CRingBuffer::SetBufferSize(int n) {
    if (n < 2) n = 2;
    m_nBufferSize = n;
    m_nMirror = std::min(kMirror, n);
    m_storage.assign(static_cast<size_t>(n) + static_cast<size_t>(m_nMirror), 0);
    m_nWritePos.store(0, std::memory_order_relaxed);
    m_nReadPos.store(0, std::memory_order_relaxed);
}

uint8_t CRingBuffer::PeekByte(int offset) const {
    if (offset < 0 || offset >= GetDataSize()) return 0;
    const int r = m_nReadPos.load(std::memory_order_relaxed);
    const int i = r + offset;
    return m_storage[static_cast<size_t>(i >= m_nBufferSize ? i - m_nBufferSize : i)];
}

int CRingBuffer::Read(uint8_t* dst, int n) {
    const int count = std::min(std::max(n, 0), GetDataSize());
    const int r = m_nReadPos.load(std::memory_order_relaxed);
    const int first = std::min(count, m_nBufferSize - r);
    std::memcpy(dst, &m_storage[static_cast<size_t>(r)], static_cast<size_t>(first));
    std::memcpy(dst + first, m_storage.data(), static_cast<size_t>(count - first));
    m_nReadPos.store(Wrap(r + count), std::memory_order_release);
    return count;
}

int CRingBuffer::Write(const uint8_t* src, int n) {
    if (n < 0) n = 0;
    int left = std::min(n, m_nBufferSize - GetDataSize() - 1);
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

uint8_t* CRingBuffer::WritePointer(int& contiguous) {
    const int w = m_nWritePos.load(std::memory_order_relaxed);
    const int free = m_nBufferSize - GetDataSize() - 1;
    contiguous = std::min(free, m_nBufferSize - w);
    return &m_storage[static_cast<size_t>(w)];
}

void CRingBuffer::Commit(int n) {
    if (n <= 0) return;
    const int w = m_nWritePos.load(std::memory_order_relaxed);
    // Bytes stored at the head of the storage are repeated past its end
    // before they are published, so the consumer's window is always whole.
    if (w < m_nMirror) {
        const int end = std::min(w + n, m_nMirror);
        std::memcpy(&m_storage[static_cast<size_t>(m_nBufferSize + w)],
                    &m_storage[static_cast<size_t>(w)], static_cast<size_t>(end - w));
    }
    m_nWritePos.store(Wrap(w + n), std::memory_order_release);
}
