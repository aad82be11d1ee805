// SPDX-License-Identifier: BSD-2-Clause
#include "base/ReplacingFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tests/TestUtil.h"

namespace tsvigil {

namespace {

std::vector<std::string> Entries(const std::string& dir) {
    std::vector<std::string> names;
    if (DIR* d = opendir(dir.c_str())) {
        while (const dirent* e = readdir(d))
            if (std::string(e->d_name) != "." && std::string(e->d_name) != "..") names.push_back(e->d_name);
        closedir(d);
    }
    return names;
}

TEST(ReplacingFileTest, OlderFileStaysUntilTheNewOneIsWhole) {
    // A page replaced, a write that meets a full disk, a page dropped half
    // written: the directory then holds the page alone, old or new, never a
    // part of one nor a temporary file.
    enum class Way { kCommit, kFullDisk, kDropped };
    struct Case {
        const char* name;
        Way way;
        bool committed;
        std::string after;
    };
    const Case kCases[] = {
        {"replaced", Way::kCommit, true, "new page"},
        {"full disk", Way::kFullDisk, false, "old page"},
        {"dropped before its end", Way::kDropped, false, "old page"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        const char* tmp = std::getenv("TMPDIR");
        std::string dir = std::string(tmp && *tmp ? tmp : "/tmp") + "/tsvigil-replace-XXXXXX";
        ASSERT_NE(nullptr, mkdtemp(&dir[0]));
        const std::string page = dir + "/p.html";
        ASSERT_TRUE(ReplacingFile::Write(page, "old page"));
        bool committed = false;
        {
            ReplacingFile f;
            ASSERT_TRUE(f.Open(page));
            std::fputs("new page", f.File());
            if (c.way == Way::kFullDisk) {
                const int full = open("/dev/full", O_WRONLY);
                ASSERT_GE(full, 0);
                dup2(full, fileno(f.File()));
                close(full);
            }
            if (c.way != Way::kDropped) committed = f.Commit();
        }
        EXPECT_EQ(c.committed, committed);
        EXPECT_EQ(c.after, testutil::ReadAll(page));
        EXPECT_EQ(std::vector<std::string>{"p.html"}, Entries(dir));
        unlink(page.c_str());
        rmdir(dir.c_str());
    }
    EXPECT_FALSE(ReplacingFile::CanCreate("/nonexistent/dir/p.html"));
}

}  // namespace

}  // namespace tsvigil
