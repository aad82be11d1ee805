// SPDX-License-Identifier: BSD-2-Clause
#include "stream/StreamSource.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#include "app/Runner.h"
#include "stream/FileSource.h"
#include "tests/TestUtil.h"
#include "tools/Recording.h"

namespace tsvigil {

namespace {

using tsgen::Bytes;

std::string Report(StreamSource& source) {
    return testutil::Captured([&](std::FILE* out) { CheckStream(&source, out, {}); });
}

Bytes Recording(const tsgen::RecordingOptions& o) {
    testutil::TempFile file({});
    EXPECT_TRUE(tsgen::WriteRecording(file.Path(), o));
    std::ifstream in(file.Path(), std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

tsgen::RecordingOptions Damaged(int size) {
    tsgen::RecordingOptions o;
    o.packetSize = size;
    o.packets = 3000;
    o.si = true;
    o.dropEvery = 700;
    o.badSyncEvery = 1100;
    o.loseBytesEvery = 1300;
    o.scrambleEvery = 900;
    o.teiEvery = 1000;
    o.cutTail = 100;
    return o;
}

// Every source gives the report the bytes give in memory: the read file
// with blocks of one page (so packets and look-aheads straddle block edges
// all the time), the file as OpenStreamSource() opens it, and the same
// bytes through a pipe (the reader thread).
TEST(StreamSourceTest, EverySourceGivesTheSameReport) {
    for (const int size : {188, 192, 204}) {
        SCOPED_TRACE(size);
        const Bytes data = Recording(Damaged(size));
        const std::string expected = testutil::CheckBytes(data);
        ASSERT_NE(std::string::npos, expected.find("continuity counter error"));
        testutil::TempFile file(data);

        FileSource read(4096);
        ASSERT_EQ(1, read.Open(file.Path().c_str()));
        EXPECT_EQ(expected, Report(read));

        auto opened = OpenStreamSource(file.Path().c_str());
        ASSERT_NE(nullptr, opened);
        EXPECT_EQ(expected, Report(*opened));

        int fds[2];
        ASSERT_EQ(0, pipe(fds));
        std::thread writer([&] {
            for (size_t at = 0; at < data.size();) {
                const ssize_t n = write(fds[1], data.data() + at, data.size() - at);
                if (n <= 0) break;
                at += static_cast<size_t>(n);
            }
            close(fds[1]);
        });
        auto piped = OpenStreamSource(("/dev/fd/" + std::to_string(fds[0])).c_str());
        close(fds[0]);
        ASSERT_NE(nullptr, piped);
        EXPECT_EQ(expected, Report(*piped));
        writer.join();
        EXPECT_FALSE(piped->IsReadError());
    }
}

}  // namespace

}  // namespace tsvigil
