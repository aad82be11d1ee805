#pragma once

#include <cstdint>

// Maps one character of the ARIB two-byte set (JIS X 0208 plus the ARIB
// additional kanji and symbols) to a Shift_JIS code. Reads exactly two
// bytes; bit 7 of each is ignored, so GL and GR forms give the same result.
// Returns 0 when a code below row 0x75 has no Shift_JIS form.
int JISToSJIS(const uint8_t* p);
