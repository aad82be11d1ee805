// SPDX-License-Identifier: BSD-2-Clause
#include "app/Progress.h"

#include <unistd.h>

CProgress::CProgress(std::FILE* err, long long fileSize)
    : CProgress(err, fileSize, err != nullptr && isatty(fileno(err)) == 1) {}

CProgress::CProgress(std::FILE* err, long long fileSize, bool terminal)
    : m_err(err), m_nFileSize(fileSize), m_bEnabled(terminal && fileSize > kMinFileSize) {
    m_start = m_last = Clock::now();
    if (m_bEnabled) Draw(0, m_start);
}

void CProgress::Update(long long bytesRead) {
    if (!m_bEnabled) return;
    const auto now = Clock::now();
    if (now - m_last < std::chrono::milliseconds(250)) return;
    Draw(bytesRead, now);
}

void CProgress::Draw(long long bytesRead, Clock::time_point now) {
    m_last = now;
    const double seconds = std::chrono::duration<double>(now - m_start).count();
    const double mb = static_cast<double>(bytesRead) / 1e6;
    const int percent = static_cast<int>(bytesRead * 100 / m_nFileSize);
    std::fprintf(m_err, "\r %3d%% of %lld MB, %.0f MB/s", percent > 100 ? 100 : percent,
                 m_nFileSize / 1000000, seconds > 0 ? mb / seconds : 0.0);
    std::fflush(m_err);
    m_bShown = true;
}

void CProgress::Erase() {
    if (!m_bShown) return;
    // Back to the start of the line and clear it.
    std::fputs("\r\033[K", m_err);
    std::fflush(m_err);
    m_bShown = false;
}

void CProgress::Finish() {
    Erase();
    m_bEnabled = false;
}

ssize_t CProgress::WriteThrough(void* cookie, const char* buf, size_t size) {
    auto* self = static_cast<CProgress*>(cookie);
    self->Erase();
    const size_t n = std::fwrite(buf, 1, size, self->m_out);
    std::fflush(self->m_out);
    return static_cast<ssize_t>(n);
}

std::FILE* CProgress::Wrap(std::FILE* out) {
    m_out = out;
    cookie_io_functions_t io = {};
    io.write = &CProgress::WriteThrough;
    std::FILE* f = fopencookie(this, "w", io);
    if (f) setvbuf(f, nullptr, _IOLBF, 0);
    return f ? f : out;
}
