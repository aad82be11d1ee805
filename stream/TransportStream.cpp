#include "stream/TransportStream.h"

#include <algorithm>

// Linux timers already have sub-millisecond resolution, so there is no
// system timer resolution to raise while a stream source exists.
CTransportStream::CTransportStream() { m_ring.SetBufferSize(kInputRingSize); }

CTransportStream::~CTransportStream() = default;

CMemoryStream::CMemoryStream(const uint8_t* data, size_t size) : m_data(data), m_nSize(data ? size : 0) {
    WaitForData();
}

void CMemoryStream::WaitForData() {
    const size_t room = static_cast<size_t>(std::max(0, m_ring.GetFreeSize() - 1));
    const size_t n = std::min(room, m_nSize - m_nPos);
    if (n > 0) PutData(m_data + m_nPos, static_cast<int>(n));
    m_nPos += n;
}
