// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

#include "base/Platform.h"

namespace tsvigil {

// Shift_JIS (code page 932) text to UTF-8, for readers and programs that
// want Unicode. The conversion never stops early: a byte sequence that code
// page 932 has no character for (an unassigned row, a stray trail byte, a
// character cut off at the end) becomes U+3013 GETA MARK, and the text after
// it is converted as usual.
class SjisToUtf8 {
public:
    SjisToUtf8() = default;
    SjisToUtf8(const SjisToUtf8&) = delete;
    SjisToUtf8& operator=(const SjisToUtf8&) = delete;

    std::string Convert(const char* s, size_t n);
    std::string Convert(const std::string& s) { return Convert(s.data(), s.size()); }

private:
    Cp932Converter m_converter{Cp932Converter::Direction::ToUtf8};
};

// UTF-8 text to Shift_JIS (code page 932), for the outputs in Shift_JIS:
// invalid sequences as U+FFFD first, then each character code page 932
// has no code for as 〓 (0x81AC).
std::string Utf8ToSjis(const std::string& utf8);

// The text with every sequence that is not valid UTF-8 (RFC 3629) replaced
// by U+FFFD, so that what a program is handed always decodes.
std::string ValidUtf8(const std::string& s);

// A stream that converts what is written to it from Shift_JIS to UTF-8, a
// line at a time, and writes the result to out. Closing it (CloseWriteStream)
// writes what is left and flushes out, but does not close out. Returns out
// itself when no stream can be made.
std::FILE* OpenUtf8Writer(std::FILE* out);

}  // namespace tsvigil
