// SPDX-License-Identifier: BSD-2-Clause
#include "app/TextLines.h"

#include <cstring>

#include "base/Platform.h"

namespace tsvigil {

TextLines::TextLines(std::FILE* stream, bool lines) : m_stream(stream), m_file(stream) {
    if (!lines || stream == nullptr || !TextLinesEndWithCrLf()) return;
    std::FILE* f = OpenWriteStream(this, &TextLines::Write, nullptr);
    if (f == nullptr) return;
    // A console shows what is written at once, as it did unwrapped (the C
    // library of Windows has no line buffering: _IOLBF buffers fully).
    if (IsConsole(stream)) setvbuf(f, nullptr, _IONBF, 0);
    m_file = f;
}

TextLines::~TextLines() { Close(); }

bool TextLines::Close() {
    if (m_file != m_stream) {
        if (CloseWriteStream(m_file) != 0) m_failed = true;
        m_file = m_stream;
        if (std::fflush(m_stream) != 0) m_failed = true;
    }
    return !m_failed;
}

long TextLines::Write(void* cookie, const char* buf, size_t size) {
    auto* self = static_cast<TextLines*>(cookie);
    size_t done = 0;
    while (done < size) {
        const void* lf = std::memchr(buf + done, '\n', size - done);
        const size_t run = lf ? static_cast<size_t>(static_cast<const char*>(lf) - (buf + done)) : size - done;
        if (std::fwrite(buf + done, 1, run, self->m_stream) != run) break;
        done += run;
        if (!lf) break;
        if (std::fwrite("\r\n", 1, 2, self->m_stream) != 2) break;
        ++done;
    }
    if (done < size) {
        self->m_failed = true;
        return -1;
    }
    return static_cast<long>(size);
}

}  // namespace tsvigil
