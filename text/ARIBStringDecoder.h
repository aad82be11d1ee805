#pragma once

#include <cstdint>

// Decodes ARIB STD-B24 8-unit coded character strings to Shift_JIS
// (code page 932). Every character comes out full width (two bytes), APR
// becomes a single 0x0A, and ARIB additional symbols become Shift_JIS
// user-defined codes that LabelAdditionalSymbols() can turn into labels.
//
// The decoder keeps its designations (G0..G3), invocations (GL, GR), a
// pending single shift and the bytes of an unfinished sequence between
// calls, so a text split over several fields can be decoded in pieces.
class CARIBStringDecoder {
public:
    static constexpr int kWorkSize = 512;

    CARIBStringDecoder();

    // Decodes count bytes at src into out (NUL-terminated) and returns out.
    // With reset nonzero the decoder first returns to its initial state and
    // drops any carried-over bytes. out must hold 2 * count + 1 bytes; the
    // factory's 512-byte buffer holds any descriptor text.
    char* Decode(char* out, const uint8_t* src, int count, int reset);

private:
    void Reset();

    // A slot holds a one-byte set table (96 Shift_JIS codes for 0x20..0x7F)
    // or nullptr for the two-byte set.
    const uint16_t* m_G[4];
    int m_GL;  // index of the slot invoked into GL
    int m_GR;  // index of the slot invoked into GR
    int m_singleShift;  // 0, 0x19 (SS2) or 0x1D (SS3)
    uint8_t m_work[kWorkSize];
    int m_carry;
};
