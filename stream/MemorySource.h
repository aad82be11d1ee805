// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstddef>
#include <cstdint>

#include "stream/RingSource.h"

// A source over bytes held in memory, for tests and fuzzing: it hands the
// bytes to a small ring as the consumer asks for them, on the caller's
// thread, so the ring's wrap-around is exercised often.
class CMemorySource : public CRingSource {
public:
    CMemorySource(const uint8_t* data, size_t size);
    bool IsEnd() override { return m_nPos >= m_nSize; }
    void WaitForData() override;

private:
    const uint8_t* m_data;
    size_t m_nSize;
    size_t m_nPos = 0;
};
