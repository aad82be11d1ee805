// SPDX-License-Identifier: BSD-2-Clause
#include "stream/MemorySource.h"

#include <algorithm>

CMemorySource::CMemorySource(const uint8_t* data, size_t size)
    : CRingSource(64 * 1024), m_data(data), m_nSize(data ? size : 0) {
    WaitForData();
}

void CMemorySource::WaitForData() {
    const size_t room = static_cast<size_t>(std::max(0, m_ring.GetFreeSize() - 1));
    const size_t n = std::min(room, m_nSize - m_nPos);
    if (n > 0) PutData(m_data + m_nPos, static_cast<int>(n));
    m_nPos += n;
}
