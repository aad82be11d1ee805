// SPDX-License-Identifier: BSD-2-Clause
#include "stream/MemorySource.h"

#include <algorithm>

namespace tsvigil {

MemorySource::MemorySource(const uint8_t* data, size_t size)
    : RingSource(64 * 1024), m_data(data), m_size(data ? size : 0) {
    WaitForData();
}

void MemorySource::WaitForData() {
    const size_t room = static_cast<size_t>(std::max(0, ring.GetFreeSize() - 1));
    const size_t n = std::min(room, m_size - m_pos);
    if (n > 0) PutData(m_data + m_pos, static_cast<int>(n));
    m_pos += n;
}

}  // namespace tsvigil
