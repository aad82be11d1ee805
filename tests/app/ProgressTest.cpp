// SPDX-License-Identifier: BSD-2-Clause
#include "app/Progress.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "base/Platform.h"
#include "tests/TestUtil.h"
#include "tools/TestStream.h"

namespace tsvigil {

namespace {

std::string Captured(std::FILE* f, char* buf, size_t size) {
    std::fflush(f);
    return std::string(buf, size);
}

TEST(ProgressTest, ShownOnlyOnATerminalForLargeFiles) {
    char* buf = nullptr;
    size_t size = 0;
    std::FILE* err = open_memstream(&buf, &size);
    {
        Progress small(err, Progress::kMinFileSize, true);
        Progress notTerminal(err, 4 * Progress::kMinFileSize, false);
        EXPECT_FALSE(small.Enabled());
        EXPECT_FALSE(notTerminal.Enabled());
    }
    EXPECT_EQ("", Captured(err, buf, size));
    {
        Progress p(err, 1000LL * 1000 * 1000, true);
        ASSERT_TRUE(p.Enabled());
        EXPECT_EQ("\r   0% of 1000 MB, 0 MB/s", Captured(err, buf, size));
        p.Finish();
        // Erased once, and nothing more when destroyed.
    }
    EXPECT_EQ("\r   0% of 1000 MB, 0 MB/s\r\033[K", Captured(err, buf, size));
    std::fclose(err);
    std::free(buf);
}

TEST(ProgressTest, ReportOnTheSameTerminalErasesTheLineFirst) {
    char* ebuf = nullptr;
    size_t esize = 0;
    char* obuf = nullptr;
    size_t osize = 0;
    std::FILE* err = open_memstream(&ebuf, &esize);
    std::FILE* out = open_memstream(&obuf, &osize);
    {
        Progress p(err, 1000LL * 1000 * 1000, true);
        std::FILE* report = p.Wrap(out);
        std::fputs(" sync byte error.\n", report);
        CloseWriteStream(report);
    }
    EXPECT_EQ("\r   0% of 1000 MB, 0 MB/s\r\033[K", Captured(err, ebuf, esize));
    EXPECT_EQ(" sync byte error.\n", Captured(out, obuf, osize));
    std::fclose(err);
    std::fclose(out);
    std::free(ebuf);
    std::free(obuf);
}

// A clean recording just over the size that earns a progress line, made of
// one block repeated (16 packets per PID in each block keep the counters
// continuous across blocks).
std::string WriteLargeRecording() {
    tsgen::StreamBuilder b;
    for (int i = 0; i < 16 * 350; ++i) b.AddFiller(0x100);
    const tsgen::Bytes& block = b.Data();
    char path[] = "/tmp/tsvigil-progress-XXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0) return "";
    long long written = 0;
    while (written <= Progress::kMinFileSize) {
        if (write(fd, block.data(), block.size()) != static_cast<ssize_t>(block.size())) break;
        written += static_cast<long long>(block.size());
    }
    close(fd);
    return path;
}

TEST(ProgressTest, ThroughAPseudoTerminal) {
    const std::string path = WriteLargeRecording();
    ASSERT_FALSE(path.empty());

    int master = -1, slave = -1;
    ASSERT_EQ(0, openpty(&master, &slave, nullptr, nullptr, nullptr));
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        dup2(slave, 2);
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        close(master);
        execl(TSVIGIL_BIN, TSVIGIL_BIN, path.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(slave);
    std::string tty;
    char buf[4096];
    for (;;) {
        const ssize_t n = read(master, buf, sizeof buf);
        if (n <= 0) break;  // EIO once the child has closed the terminal
        tty.append(buf, static_cast<size_t>(n));
    }
    close(master);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_NE(std::string::npos, tty.find("% of 268 MB")) << tty;
    // The line is erased before the run ends.
    ASSERT_GE(tty.size(), 4u);
    EXPECT_EQ("\r\033[K", tty.substr(tty.size() - 4));

    // Not a terminal: standard error holds the banner alone.
    const auto r = testutil::RunTool({path});
    EXPECT_EQ(testutil::kBanner, r.err);
    EXPECT_EQ(" packet size:188.\n", r.out);
    std::remove(path.c_str());
}

}  // namespace

}  // namespace tsvigil
