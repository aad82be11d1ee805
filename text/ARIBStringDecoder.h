// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstdint>

namespace tsvigil {

// Decodes ARIB STD-B24 8-unit coded character strings to Shift_JIS
// (code page 932). Every character comes out full width (two bytes), APR
// becomes a single 0x0A, and ARIB additional symbols become Shift_JIS
// user-defined codes that LabelAdditionalSymbols() can turn into labels.
// A two-byte lead followed by a byte that is no JIS byte becomes GETA MARK
// and that byte is decoded on its own, so no input writes a NUL inside the
// text and a broken character never takes the rest of a name with it.
//
// The decoder keeps its designations (G0..G3), invocations (GL, GR), a
// pending single shift and the bytes of an unfinished sequence between
// calls, so a text split over several fields can be decoded in pieces.
class ARIBStringDecoder {
public:
    static constexpr int kWorkSize = 512;

    ARIBStringDecoder();

    // Decodes count bytes at src into out (NUL-terminated) and returns out.
    // With reset nonzero the decoder first returns to its initial state and
    // drops any carried-over bytes. A negative count, or a null src, counts
    // as no input; input beyond what fits in the work buffer after the
    // carried-over bytes is ignored. out must hold 2 * count + 3 bytes (a
    // lead byte carried over comes out as GETA MARK when the byte after it
    // is no JIS byte); 2 * kWorkSize + 1 bytes always suffice, as no byte
    // taken gives more than two.
    char* Decode(char* out, const uint8_t* src, int count, int reset);

private:
    void Reset();
    // Acts on the escape sequence at m_work[i] (n bytes valid) and returns
    // the bytes it consumes, or 0 when the sequence is cut off by the end.
    int Escape(int i, int n);
    // Appends count bytes at src to the carried-over ones in m_work and
    // returns how many bytes m_work now holds.
    int Take(const uint8_t* src, int count);
    // Decodes the character or control at m_work[i] (n bytes valid),
    // writing what it gives at out and moving out past it. Returns the bytes
    // consumed, or 0 when the sequence is cut off by the end.
    int Step(int i, int n, char*& out);
    // A graphic character at m_work[i] of set, the two-byte set when null;
    // returns as Step does.
    int Graphic(const uint16_t* set, int i, int n, char*& out) const;
    int TwoByte(int i, int n, char*& out) const;
    // Acts on a control code of the C0/C1 areas other than ESC and CSI.
    void Control(uint8_t b, char*& out);

    // A slot holds a one-byte set table (96 Shift_JIS codes for 0x20..0x7F)
    // or nullptr for the two-byte set.
    const uint16_t* m_G[4] = {};
    int m_GL = 0;  // index of the slot invoked into GL
    int m_GR = 0;  // index of the slot invoked into GR
    int m_singleShift = 0;  // 0, 0x19 (SS2) or 0x1D (SS3)
    uint8_t m_work[kWorkSize] = {};
    int m_carry = 0;
};

}  // namespace tsvigil
