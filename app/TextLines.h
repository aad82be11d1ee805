// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstdio>

namespace tsvigil {

// Standard output or error as it carries text lines: where the system ends
// them with CR LF, a stream that puts a CR before each LF and passes every
// other byte as it is (the Shift_JIS report has no LF inside a character,
// its second bytes being 0x40 to 0xFC); elsewhere, or for JSON Lines, the
// stream itself.
class TextLines {
public:
    TextLines(std::FILE* stream, bool lines);
    ~TextLines();
    TextLines(const TextLines&) = delete;
    TextLines& operator=(const TextLines&) = delete;

    std::FILE* File() const { return m_file; }
    // Writes out what is buffered; false when any of it did not reach the
    // stream. The stream itself is not closed.
    bool Close();

private:
    static long Write(void* cookie, const char* buf, size_t size);

    std::FILE* m_stream;
    std::FILE* m_file;
    bool m_failed = false;
};

}  // namespace tsvigil
