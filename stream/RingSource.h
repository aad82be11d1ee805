// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstdint>

#include "stream/RingBuffer.h"
#include "stream/Signal.h"
#include "stream/StreamSource.h"

namespace tsvigil {

// A stream source whose bytes a producer puts into an input ring that the
// packet framer empties.
class RingSource : public StreamSource {
public:
    // Large enough that the producer stays well ahead of the framer; small
    // enough to stay near the CPU caches between the two.
    static constexpr int kInputRingSize = 4 * 1024 * 1024;
    // The most bytes Run() offers at once, so consumed space goes back to
    // the producer often enough to keep it reading.
    static constexpr int kMaxRun = 256 * 1024;

    explicit RingSource(int ringSize = kInputRingSize);

    bool IsEnd() override { return false; }
    void WaitForData() override { dataSignal.Wait(); }

    // Producer side: appends n bytes (dropping what does not fit).
    void PutData(const uint8_t* src, int n) {
        ring.Write(src, n);
        dataSignal.Notify();
    }

    // Consumer side.
    int GetDataSize() override { return ring.GetDataSize(); }
    // The ring's mirror makes kMaxWindow bytes contiguous from any position.
    const uint8_t* Window(int n, uint8_t* scratch) override {
        if (n <= ring.Window()) return ring.ReadPointer();
        if (scratch == nullptr) return nullptr;
        for (int i = 0; i < n; ++i) scratch[i] = ring.PeekByte(i);
        return scratch;
    }
    int Run(const uint8_t*& p) override {
        p = ring.ReadPointer();
        const int run = ring.Run();
        return run < kMaxRun ? run : kMaxRun;
    }
    void Consume(int n) override {
        ring.Consume(n);
        SpaceFreed();
    }

protected:
    // Wakes a waiting producer once as much space is free as it waits for.
    void SpaceFreed() {
        if (spaceSignal.HasWaiters() && ring.GetFreeSize() >= wakeFree) spaceSignal.Notify();
    }

    RingBuffer ring;
    int wakeFree = 1;    // free bytes the producer needs before it reads
    Signal dataSignal;   // producer -> consumer: bytes or the end arrived
    Signal spaceSignal;  // consumer -> producer: space was freed
};

}  // namespace tsvigil
