#pragma once

#include <cstdint>

#include "stream/RingBuffer.h"
#include "stream/Signal.h"

// A source of transport stream bytes: an input ring that a producer fills
// and the packet framer empties, plus the test for the end of input.
class CTransportStream {
public:
    // Large enough that the producer stays well ahead of the framer; small
    // enough to stay near the CPU caches between the two.
    static constexpr int kInputRingSize = 4 * 1024 * 1024;

    explicit CTransportStream(int ringSize = kInputRingSize);
    virtual ~CTransportStream();
    CTransportStream(const CTransportStream&) = delete;
    CTransportStream& operator=(const CTransportStream&) = delete;

    // True once no more input will come and every byte is in the ring.
    virtual bool IsEnd() { return false; }

    // Called by the consumer when it needs more bytes than are held and the
    // input has not ended: returns after new bytes arrived or about 1 ms.
    virtual void WaitForData() { m_dataSignal.Wait(); }

    // Producer side: appends n bytes (dropping what does not fit).
    void PutData(const uint8_t* src, int n) {
        m_ring.Write(src, n);
        m_dataSignal.Notify();
    }

    // Consumer side.
    int GetDataSize() const { return m_ring.GetDataSize(); }
    uint8_t PeekByte(int offset) const { return m_ring.PeekByte(offset); }
    int Read(uint8_t* dst, int n) {
        const int got = m_ring.Read(dst, n);
        SpaceFreed();
        return got;
    }
    // n held bytes from the next unconsumed one, contiguous: a pointer into
    // the ring when they lie in one run, else a copy in scratch (nullptr
    // when no scratch is given). n must not exceed GetDataSize().
    const uint8_t* Window(int n, uint8_t* scratch) const {
        if (n <= m_ring.Window()) return m_ring.ReadPointer();
        if (scratch == nullptr) return nullptr;
        for (int i = 0; i < n; ++i) scratch[i] = m_ring.PeekByte(i);
        return scratch;
    }
    void Consume(int n) {
        m_ring.Consume(n);
        SpaceFreed();
    }

    CRingBuffer& Ring() { return m_ring; }

protected:
    // Wakes a waiting producer once as much space is free as it waits for.
    void SpaceFreed() {
        if (m_spaceSignal.HasWaiters() && m_ring.GetFreeSize() >= m_nWakeFree) m_spaceSignal.Notify();
    }

    CRingBuffer m_ring;
    int m_nWakeFree = 1;    // free bytes the producer needs before it reads
    CSignal m_dataSignal;   // producer -> consumer: bytes or the end arrived
    CSignal m_spaceSignal;  // consumer -> producer: space was freed
};

// A source over bytes held in memory, for tests and fuzzing: it hands the
// bytes to the ring as the consumer asks for them, on the caller's thread.
class CMemoryStream : public CTransportStream {
public:
    CMemoryStream(const uint8_t* data, size_t size);
    bool IsEnd() override { return m_nPos >= m_nSize; }
    void WaitForData() override;

private:
    const uint8_t* m_data;
    size_t m_nSize;
    size_t m_nPos = 0;
};
