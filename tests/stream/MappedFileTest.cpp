#include "stream/MappedFile.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "app/Runner.h"
#include "tests/TestUtil.h"
#include "tools/Recording.h"

namespace {

using tsgen::Bytes;

// A file cut short by another program while it is checked: the pages past
// its new end raise SIGBUS when read. The run goes on to its end as a read
// error; cut ahead of the framer (on a page boundary), the report is that
// of the bytes that remain.
TEST(CMappedFileTest, FileCutShortWhileMapped) {
    testutil::CTempFile file({});
    tsgen::RecordingOptions o;
    o.packets = 40000;  // past the first progress tick
    o.si = true;
    o.dropEvery = 5000;
    ASSERT_TRUE(tsgen::WriteRecording(file.Path(), o));
    std::ifstream in(file.Path(), std::ios::binary);
    const Bytes data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_GT(data.size(), size_t{7} << 20);

    struct Case {
        const char* name;
        off_t cutTo;
        bool compare;
    };
    const Case cases[] = {
        {"cut ahead of the framer", off_t{7} << 20, true},
        {"cut behind the framer", off_t{1} << 20, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(tsgen::WriteRecording(file.Path(), o));
        CMappedFile mapped(64 * 1024);
        ASSERT_EQ(1, mapped.Open(file.Path().c_str()));
        bool cut = false;
        const auto tick = [&] {
            if (!cut) cut = truncate(file.Path().c_str(), c.cutTo) == 0;
        };
        char* buf = nullptr;
        size_t size = 0;
        std::FILE* out = open_memstream(&buf, &size);
        CheckStream(mapped, out, {}, tick);
        std::fclose(out);
        const std::string report(buf, size);
        std::free(buf);
        EXPECT_TRUE(cut);
        EXPECT_TRUE(mapped.IsReadError());
        if (c.compare) {
            EXPECT_EQ(testutil::CheckBytes(Bytes(data.begin(), data.begin() + c.cutTo)), report);
        }
    }
}

}  // namespace
