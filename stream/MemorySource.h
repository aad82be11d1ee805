// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstddef>
#include <cstdint>

#include "stream/RingSource.h"

namespace tsvigil {

// A source over bytes held in memory, for tests and fuzzing: it hands the
// bytes to a small ring as the consumer asks for them, on the caller's
// thread, so the ring's wrap-around is exercised often.
class MemorySource : public RingSource {
public:
    MemorySource(const uint8_t* data, size_t size);
    bool IsEnd() override { return m_pos >= m_size; }
    void WaitForData() override;

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_pos = 0;
};

}  // namespace tsvigil
