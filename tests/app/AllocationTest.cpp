// SPDX-License-Identifier: BSD-2-Clause
// The per-packet path must not allocate: a recording of hours is billions
// of packets. Every operator new of the test binary is counted while a
// check runs, and a stream twice as long must cost no more allocations.

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "tests/TestUtil.h"
#include "tools/TestStream.h"

using namespace tsvigil;

namespace {
std::atomic<long> g_allocations{0};
}  // namespace

void* operator new(std::size_t n) {
    ++g_allocations;
    if (void* p = std::malloc(n ? n : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

long AllocationsToCheck(int packets) {
    tsgen::StreamBuilder b;
    tsgen::PacketFaults scrambled;
    scrambled.scrambled = true;
    for (int i = 0; i < packets; ++i) {
        // Video, scrambled audio, null packets and a section-less PID 0x0012
        // packet now and then: everything but a completed section.
        if (i % 10 == 3) b.AddFiller(0x0112, scrambled);
        else if (i % 50 == 7) b.AddFiller(0x1FFF);
        else if (i % 100 == 11) b.AddFiller(0x0012);
        else b.AddFiller(0x0111);
    }
    const long before = g_allocations.load();
    testutil::CheckBytes(b.Data());
    return g_allocations.load() - before;
}

TEST(CheckerAllocationTest, PacketPathAllocatesNothing) {
    AllocationsToCheck(100);  // first-use allocations of the process
    const long small = AllocationsToCheck(2000);
    const long large = AllocationsToCheck(40000);
    EXPECT_EQ(small, large);
}

}  // namespace
