#include "stream/RingStream.h"

CRingStream::CRingStream(int ringSize) { m_ring.SetBufferSize(ringSize); }
