// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdio>

namespace tsvigil {

// One progress line on standard error while a long file is checked on a
// terminal: percent read and read speed, redrawn at most four times a
// second and erased when the run ends, so the report on standard output
// and anything captured from standard error stay as they are.
class Progress {
public:
    // Files up to this size finish too soon to need a progress line.
    static constexpr long long kMinFileSize = 256LL * 1024 * 1024;
    static constexpr int kTickPackets = 1 << 15;

    // Shows progress when err is a terminal and the file is large enough.
    Progress(std::FILE* err, long long fileSize);
    Progress(std::FILE* err, long long fileSize, bool terminal);
    ~Progress() { Finish(); }

    bool Enabled() const { return m_enabled; }
    // Called now and then by the check loop with the bytes read so far.
    void Update(long long bytesRead);
    // Erases the line (once).
    void Finish();
    // A stream that writes to out, first erasing the progress line; for a
    // report that goes to the same terminal. Closed by the caller, with
    // CloseWriteStream() when it is not out itself.
    std::FILE* Wrap(std::FILE* out);

private:
    using Clock = std::chrono::steady_clock;

    void Draw(long long bytesRead, Clock::time_point now);
    void Erase();
    static long WriteThrough(void* cookie, const char* buf, size_t size);

    std::FILE* m_out = nullptr;

    std::FILE* m_err;
    long long m_fileSize;
    bool m_enabled = false;
    bool m_shown = false;
    Clock::time_point m_start;
    Clock::time_point m_last;
};

}  // namespace tsvigil
