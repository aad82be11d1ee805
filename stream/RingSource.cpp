#include "stream/RingSource.h"

CRingStream::CRingStream(int ringSize) { m_ring.SetBufferSize(ringSize); }
