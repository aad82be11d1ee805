// SPDX-License-Identifier: BSD-2-Clause
#include "check/Check.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "tests/TestUtil.h"
#include "tools/Recording.h"

namespace tsvigil {

namespace {

using testutil::TempFile;

// Two checks on two threads over different recordings write what each
// writes alone: a check shares no state with another.
TEST(CheckTest, TwoChecksOnTwoThreadsReportAsAlone) {
    TempFile demoFile({}), damagedFile({});
    ASSERT_TRUE(tsgen::WriteDemoRecording(demoFile.Path()));
    tsgen::RecordingOptions o;
    o.si = o.psi = true;
    o.packetSize = 204;
    o.packets = 60000;
    o.dropEvery = 7000;
    o.badSyncEvery = 9001;
    o.scrambleEvery = 500;
    o.teiEvery = 3000;
    ASSERT_TRUE(tsgen::WriteRecording(damagedFile.Path(), o));
    const tsgen::Bytes demo = testutil::ReadBytes(demoFile.Path()),
                       damaged = testutil::ReadBytes(damagedFile.Path());
    for (const bool json : {false, true}) {
        SCOPED_TRACE(json ? "JSON Lines" : "report and summary");
        const std::string demoAlone = testutil::CheckBytes(demo, json, true);
        const std::string damagedAlone = testutil::CheckBytes(damaged, json, true);
        ASSERT_NE(demoAlone, damagedAlone);
        for (int round = 0; round < 3; ++round) {
            std::string a, b;
            std::thread ta([&] { a = testutil::CheckBytes(demo, json, true); });
            std::thread tb([&] { b = testutil::CheckBytes(damaged, json, true); });
            ta.join();
            tb.join();
            EXPECT_EQ(demoAlone, a);
            EXPECT_EQ(damagedAlone, b);
        }
    }
}

}  // namespace

}  // namespace tsvigil
