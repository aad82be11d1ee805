// SPDX-License-Identifier: BSD-2-Clause
#include "text/ARIBStringDecoder.h"

#include <algorithm>
#include <cstring>

#include "text/JISToSJIS.h"

namespace tsvigil {

namespace {

// The one-byte graphic sets of ARIB STD-B24, indexed by byte - 0x20, each
// entry the full-width Shift_JIS character. 0x20 and 0x7F are never looked
// up (SP is handled before any set is consulted).

// Final byte 0x4A. 0x5C is the yen sign and 0x7E the overline, as in
// JIS X 0201 Roman, not backslash and tilde.
constexpr uint16_t kAlphanumeric[96] = {
    0x8140, 0x8149, 0x8168, 0x8194, 0x8190, 0x8193, 0x8195, 0x8166,  // 0x20
    0x8169, 0x816A, 0x8196, 0x817B, 0x8143, 0x817C, 0x8144, 0x815E,  // 0x28
    0x824F, 0x8250, 0x8251, 0x8252, 0x8253, 0x8254, 0x8255, 0x8256,  // 0x30
    0x8257, 0x8258, 0x8146, 0x8147, 0x8183, 0x8181, 0x8184, 0x8148,  // 0x38
    0x8197, 0x8260, 0x8261, 0x8262, 0x8263, 0x8264, 0x8265, 0x8266,  // 0x40
    0x8267, 0x8268, 0x8269, 0x826A, 0x826B, 0x826C, 0x826D, 0x826E,  // 0x48
    0x826F, 0x8270, 0x8271, 0x8272, 0x8273, 0x8274, 0x8275, 0x8276,  // 0x50
    0x8277, 0x8278, 0x8279, 0x816D, 0x818F, 0x816E, 0x814F, 0x8151,  // 0x58
    0x8165, 0x8281, 0x8282, 0x8283, 0x8284, 0x8285, 0x8286, 0x8287,  // 0x60
    0x8288, 0x8289, 0x828A, 0x828B, 0x828C, 0x828D, 0x828E, 0x828F,  // 0x68
    0x8290, 0x8291, 0x8292, 0x8293, 0x8294, 0x8295, 0x8296, 0x8297,  // 0x70
    0x8298, 0x8299, 0x829A, 0x816F, 0x8162, 0x8170, 0x8150, 0x8140,  // 0x78
};

// Final byte 0x30. 0x74..0x76 are unassigned in the set and come out as
// full-width spaces.
constexpr uint16_t kHiragana[96] = {
    0x8140, 0x829F, 0x82A0, 0x82A1, 0x82A2, 0x82A3, 0x82A4, 0x82A5,  // 0x20
    0x82A6, 0x82A7, 0x82A8, 0x82A9, 0x82AA, 0x82AB, 0x82AC, 0x82AD,  // 0x28
    0x82AE, 0x82AF, 0x82B0, 0x82B1, 0x82B2, 0x82B3, 0x82B4, 0x82B5,  // 0x30
    0x82B6, 0x82B7, 0x82B8, 0x82B9, 0x82BA, 0x82BB, 0x82BC, 0x82BD,  // 0x38
    0x82BE, 0x82BF, 0x82C0, 0x82C1, 0x82C2, 0x82C3, 0x82C4, 0x82C5,  // 0x40
    0x82C6, 0x82C7, 0x82C8, 0x82C9, 0x82CA, 0x82CB, 0x82CC, 0x82CD,  // 0x48
    0x82CE, 0x82CF, 0x82D0, 0x82D1, 0x82D2, 0x82D3, 0x82D4, 0x82D5,  // 0x50
    0x82D6, 0x82D7, 0x82D8, 0x82D9, 0x82DA, 0x82DB, 0x82DC, 0x82DD,  // 0x58
    0x82DE, 0x82DF, 0x82E0, 0x82E1, 0x82E2, 0x82E3, 0x82E4, 0x82E5,  // 0x60
    0x82E6, 0x82E7, 0x82E8, 0x82E9, 0x82EA, 0x82EB, 0x82EC, 0x82ED,  // 0x68
    0x82EE, 0x82EF, 0x82F0, 0x82F1, 0x8140, 0x8140, 0x8140, 0x8154,  // 0x70
    0x8155, 0x815B, 0x8142, 0x8175, 0x8176, 0x8141, 0x8145, 0x8140,  // 0x78
};

// Final byte 0x31. The Shift_JIS katakana run skips the trail byte 0x7F,
// hence the jump from 0x837E to 0x8380 at 0x60.
constexpr uint16_t kKatakana[96] = {
    0x8140, 0x8340, 0x8341, 0x8342, 0x8343, 0x8344, 0x8345, 0x8346,  // 0x20
    0x8347, 0x8348, 0x8349, 0x834A, 0x834B, 0x834C, 0x834D, 0x834E,  // 0x28
    0x834F, 0x8350, 0x8351, 0x8352, 0x8353, 0x8354, 0x8355, 0x8356,  // 0x30
    0x8357, 0x8358, 0x8359, 0x835A, 0x835B, 0x835C, 0x835D, 0x835E,  // 0x38
    0x835F, 0x8360, 0x8361, 0x8362, 0x8363, 0x8364, 0x8365, 0x8366,  // 0x40
    0x8367, 0x8368, 0x8369, 0x836A, 0x836B, 0x836C, 0x836D, 0x836E,  // 0x48
    0x836F, 0x8370, 0x8371, 0x8372, 0x8373, 0x8374, 0x8375, 0x8376,  // 0x50
    0x8377, 0x8378, 0x8379, 0x837A, 0x837B, 0x837C, 0x837D, 0x837E,  // 0x58
    0x8380, 0x8381, 0x8382, 0x8383, 0x8384, 0x8385, 0x8386, 0x8387,  // 0x60
    0x8388, 0x8389, 0x838A, 0x838B, 0x838C, 0x838D, 0x838E, 0x838F,  // 0x68
    0x8390, 0x8391, 0x8392, 0x8393, 0x8394, 0x8395, 0x8396, 0x8152,  // 0x70
    0x8153, 0x815B, 0x8142, 0x8175, 0x8176, 0x8141, 0x8145, 0x8140,  // 0x78
};

// No entry holds a zero byte, so no character ends a decoded text early.
constexpr bool NoZeroByte(const uint16_t (&set)[96]) {
    for (uint16_t c : set)
        if ((c >> 8) == 0 || (c & 0xFF) == 0) return false;
    return true;
}
static_assert(NoZeroByte(kAlphanumeric) && NoZeroByte(kHiragana) && NoZeroByte(kKatakana),
              "a one-byte set entry with a zero byte");

// Control codes of the C0/C1 areas that this decoder acts on.
constexpr uint8_t APR = 0x0D;
constexpr uint8_t LS1 = 0x0E;
constexpr uint8_t LS0 = 0x0F;
constexpr uint8_t SS2 = 0x19;
constexpr uint8_t ESC = 0x1B;
constexpr uint8_t SS3 = 0x1D;
constexpr uint8_t SP = 0x20;
constexpr uint8_t CSI = 0x9B;

constexpr int kFullWidthSpace = 0x8140;

// Writes the Shift_JIS character v, lead byte first, and moves out past it.
void Put(char*& out, int v) {
    *out++ = static_cast<char>(v >> 8);
    *out++ = static_cast<char>(v & 0xFF);
}

}  // namespace

ARIBStringDecoder::ARIBStringDecoder() { Reset(); }

void ARIBStringDecoder::Reset() {
    m_G[0] = nullptr;
    m_G[1] = kAlphanumeric;
    m_G[2] = kHiragana;
    m_G[3] = kKatakana;
    m_GL = 0;
    m_GR = 2;
    m_singleShift = 0;
    m_carry = 0;
}

int ARIBStringDecoder::Escape(int i, int n) {
    if (i + 1 >= n) return 0;
    const uint8_t b1 = m_work[i + 1];

    if (b1 == 0x24) {  // two-byte set designation
        if (i + 2 >= n) return 0;
        const uint8_t b2 = m_work[i + 2];
        // F = 0x39, 0x3A (JIS compatible kanji planes 1, 2) and 0x3B
        // (additional symbols) all select the one two-byte set. F = 0x42,
        // the Kanji set, is not accepted: only ESC 0x24 is dropped and 0x42
        // is decoded as a character.
        if (b2 >= 0x39 && b2 <= 0x3B) {
            m_G[0] = nullptr;
            return 3;
        }
        if (b2 >= 0x29 && b2 <= 0x2B) {
            if (i + 3 >= n) return 0;
            const uint8_t b3 = m_work[i + 3];
            if (b3 >= 0x39 && b3 <= 0x3B) {
                m_G[b2 - 0x28] = nullptr;
                return 4;
            }
            return 3;
        }
        return 2;
    }

    if (b1 >= 0x28 && b1 <= 0x2B) {  // one-byte set designation into G0..G3
        if (i + 2 >= n) return 0;
        const uint8_t f = m_work[i + 2];
        const uint16_t* set = f == 0x4A ? kAlphanumeric
                              : f == 0x30 ? kHiragana
                              : f == 0x31 ? kKatakana
                                          : nullptr;
        if (!set) return 2;  // DRCS (0x20 F), mosaic, JIS X 0201...: skipped
        m_G[b1 - 0x28] = set;
        return 3;
    }

    switch (b1) {
    case 0x6E: m_GL = 2; return 2;  // LS2
    case 0x6F: m_GL = 3; return 2;  // LS3
    case 0x7E: m_GR = 1; return 2;  // LS1R
    case 0x7D: m_GR = 2; return 2;  // LS2R
    case 0x7C: m_GR = 3; return 2;  // LS3R
    default: return 1;
    }
}

int ARIBStringDecoder::Take(const uint8_t* src, int count) {
    // Callers derive counts from lengths in the stream, which can come out
    // negative; a null src is how an empty field arrives. Input is appended
    // to the carried-over bytes in the fixed work buffer, so it is cut to
    // the room left there: at most kWorkSize - m_carry bytes are taken and
    // the rest of an oversized input is ignored.
    if (count < 0 || !src) count = 0;
    count = std::min(count, kWorkSize - m_carry);
    if (count > 0) std::memcpy(m_work + m_carry, src, static_cast<std::size_t>(count));
    const int n = m_carry + count;
    m_carry = 0;
    return n;
}

int ARIBStringDecoder::TwoByte(int i, int n, char*& out) const {
    if (i + 1 >= n) return 0;  // lead byte only
    // A two-byte character whose second byte is no JIS byte is broken: the
    // lead alone becomes GETA MARK and the byte after it is decoded afresh,
    // since it is most likely a control (SP, APR, a colour) or the start of
    // the next character.
    if (!IsJISByte(m_work[i + 1])) {
        Put(out, kGetaMark);
        return 1;
    }
    Put(out, JISToSJIS(m_work + i));
    return 2;
}

int ARIBStringDecoder::Graphic(const uint16_t* set, int i, int n, char*& out) const {
    if (!set) return TwoByte(i, n, out);
    Put(out, set[(m_work[i] & 0x7F) - 0x20]);
    return 1;
}

void ARIBStringDecoder::Control(uint8_t b, char*& out) {
    switch (b) {
    case APR: *out++ = '\n'; break;
    case LS1: m_GL = 1; break;
    case LS0: m_GL = 0; break;
    case SS2:
    case SS3: m_singleShift = b; break;
    case SP: Put(out, kFullWidthSpace); break;
    // Every other control (size, colour, position, macro...) is dropped
    // alone; its parameter bytes are decoded as text.
    default: break;
    }
}

int ARIBStringDecoder::Step(int i, int n, char*& out) {
    const uint8_t b = m_work[i];
    if (b >= 0x21 && b <= 0x7E) {
        // A single shift borrows G2 or G3 for this one character only; a
        // lead byte cut off by the end leaves it pending.
        const int slot = m_singleShift == SS2 ? 2 : m_singleShift == SS3 ? 3 : m_GL;
        const int used = Graphic(m_G[slot], i, n, out);
        if (used > 0) m_singleShift = 0;
        return used;
    }
    if (b >= 0xA1 && b <= 0xFE) return Graphic(m_G[m_GR], i, n, out);
    if (b == ESC) return Escape(i, n);
    if (b == CSI) {
        // Only the lenticular bracket pair is rendered: a CSI whose first
        // parameter byte is 0x30 gives the opening one (0x8179), any other
        // the closing one (0x817A). Four bytes always, whatever the
        // sequence really was.
        if (i + 3 >= n) return 0;
        Put(out, m_work[i + 1] == 0x30 ? 0x8179 : 0x817A);
        return 4;
    }
    Control(b, out);
    return 1;
}

char* ARIBStringDecoder::Decode(char* out, const uint8_t* src, int count, int reset) {
    if (reset) Reset();
    const int n = Take(src, count);
    char* o = out;
    int i = 0;
    while (i < n) {
        const int used = Step(i, n, o);
        if (used == 0) break;
        i += used;
    }
    *o = '\0';

    // A sequence cut off by the end stops the loop at its first byte; keep
    // it, from i to the end, for the next call.
    m_carry = n - i;
    if (m_carry > 0) std::memmove(m_work, m_work + i, static_cast<std::size_t>(m_carry));
    return out;
}

}  // namespace tsvigil
