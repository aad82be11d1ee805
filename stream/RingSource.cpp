// SPDX-License-Identifier: BSD-2-Clause
#include "stream/RingSource.h"

namespace tsvigil {

RingSource::RingSource(int ringSize) { ring.SetBufferSize(ringSize); }

}  // namespace tsvigil
