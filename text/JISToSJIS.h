// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstdint>

namespace tsvigil {

// GETA MARK, written for a two-byte code that is no character at all (a
// byte that is no JIS byte where one of the pair should be).
constexpr int kGetaMark = 0x81AC;

// True for the bytes of a JIS X 0208 code, 0x21..0x7E, in GL or GR form.
constexpr bool IsJISByte(uint8_t b) {
    const int c = b & 0x7F;
    return c >= 0x21 && c <= 0x7E;
}

// Maps one character of the ARIB two-byte set (JIS X 0208 plus the ARIB
// additional kanji and symbols) to a Shift_JIS code. Reads exactly two
// bytes; bit 7 of each is ignored, so GL and GR forms give the same result.
// Returns kGetaMark when either byte is no JIS byte; never 0.
int JISToSJIS(const uint8_t* p);

}  // namespace tsvigil
