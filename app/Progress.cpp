// SPDX-License-Identifier: BSD-2-Clause
#include "app/Progress.h"

#include "base/Platform.h"

namespace tsvigil {

Progress::Progress(std::FILE* err, long long fileSize)
    : Progress(err, fileSize, IsConsole(err)) {}

Progress::Progress(std::FILE* err, long long fileSize, bool terminal)
    : m_err(err), m_fileSize(fileSize), m_enabled(terminal && fileSize > kMinFileSize) {
    m_start = m_last = Clock::now();
    if (m_enabled) Draw(0, m_start);
}

void Progress::Update(long long bytesRead) {
    if (!m_enabled) return;
    const auto now = Clock::now();
    if (now - m_last < std::chrono::milliseconds(250)) return;
    Draw(bytesRead, now);
}

void Progress::Draw(long long bytesRead, Clock::time_point now) {
    m_last = now;
    const double seconds = std::chrono::duration<double>(now - m_start).count();
    const double mb = static_cast<double>(bytesRead) / 1e6;
    const int percent = static_cast<int>(bytesRead * 100 / m_fileSize);
    std::fprintf(m_err, "\r %3d%% of %lld MB, %.0f MB/s", percent > 100 ? 100 : percent,
                 m_fileSize / 1000000, seconds > 0 ? mb / seconds : 0.0);
    std::fflush(m_err);
    m_shown = true;
}

void Progress::Erase() {
    if (!m_shown) return;
    // Back to the start of the line and clear it.
    std::fputs("\r\033[K", m_err);
    std::fflush(m_err);
    m_shown = false;
}

void Progress::Finish() {
    Erase();
    m_enabled = false;
}

long Progress::WriteThrough(void* cookie, const char* buf, size_t size) {
    auto* self = static_cast<Progress*>(cookie);
    self->Erase();
    const size_t n = std::fwrite(buf, 1, size, self->m_out);
    std::fflush(self->m_out);
    return static_cast<long>(n);
}

std::FILE* Progress::Wrap(std::FILE* out) {
    m_out = out;
    std::FILE* f = OpenWriteStream(this, &Progress::WriteThrough, nullptr);
    if (f) setvbuf(f, nullptr, _IOLBF, 0);
    return f ? f : out;
}

}  // namespace tsvigil
