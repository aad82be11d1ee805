// SPDX-License-Identifier: BSD-2-Clause
#include "stream/RingSource.h"

CRingSource::CRingSource(int ringSize) { m_ring.SetBufferSize(ringSize); }
