// SPDX-License-Identifier: BSD-2-Clause
#include "text/AdditionalSymbols.h"

#include <string>

namespace tsvigil {

namespace {

// The label is held in the entry itself, so the table needs no relocation
// and lies in read-only data as it is.
struct Label {
    unsigned short code;  // Shift_JIS user-defined character
    char text[6];         // Shift_JIS, NUL-terminated
};

// The ARIB additional symbols of row 0x7A that JISToSJIS() parks in the
// user-defined area, with the labels printed in their place. Labels are
// Shift_JIS byte strings; the comments give the ARIB code and the Unicode
// characters of the label. 0x7A60 and 0x7A61 have no label: they become
// BLACK SQUARE already.
constexpr Label kLabels[] = {
    {0xF64C, "10."},                   // 0x7A4D
    {0xF64D, "11."},                   // 0x7A4E
    {0xF64E, "12."},                   // 0x7A4F
    {0xF64F, "[HV]"},                  // 0x7A50
    {0xF650, "[SD]"},                  // 0x7A51
    {0xF651, "[P]"},                   // 0x7A52
    {0xF652, "[W]"},                   // 0x7A53
    {0xF653, "[MV]"},                  // 0x7A54
    {0xF654, "[\x8E\xE8]"},            // 0x7A55 U+624B
    {0xF1AB, "[\x8E\x9A]"},            // 0x7A56 U+5B57
    {0xF655, "[\x91\x6F]"},            // 0x7A57 U+53CC
    {0xF656, "[\x83\x66]"},            // 0x7A58 U+30C7
    {0xF1A7, "[S]"},                   // 0x7A59
    {0xF1A9, "[\x93\xF1]"},            // 0x7A5A U+4E8C
    {0xF2D0, "[\x91\xBD]"},            // 0x7A5B U+591A
    {0xF1BA, "[\x89\xF0]"},            // 0x7A5C U+89E3
    {0xF657, "[SS]"},                  // 0x7A5D
    {0xF1B8, "[B]"},                   // 0x7A5E
    {0xF1A1, "[N]"},                   // 0x7A5F
    {0xF1A0, "[\x93\x56]"},            // 0x7A62 U+5929
    {0xF19F, "[\x8C\xF0]"},            // 0x7A63 U+4EA4
    {0xF658, "[\x89\x66]"},            // 0x7A64 U+6620
    {0xF659, "[\x96\xB3]"},            // 0x7A65 U+7121
    {0xF65A, "[\x97\xBF]"},            // 0x7A66 U+6599
    {0xF65B, "[\x8C\xAE]"},            // 0x7A67 U+9375
    {0xF65C, "[\x91\x4F]"},            // 0x7A68 U+524D
    {0xF65D, "[\x8C\xE3]"},            // 0x7A69 U+5F8C
    {0xF1AC, "[\x8D\xC4]"},            // 0x7A6A U+518D
    {0xF65E, "[\x90\x56]"},            // 0x7A6B U+65B0
    {0xF65F, "[\x8F\x89]"},            // 0x7A6C U+521D
    {0xF660, "[\x8F\x49]"},            // 0x7A6D U+7D42
    {0xF661, "[\x90\xB6]"},            // 0x7A6E U+751F
    {0xF662, "[\x94\xCC]"},            // 0x7A6F U+8CA9
    {0xF0F4, "[\x90\xBA]"},            // 0x7A70 U+58F0
    {0xF663, "[\x90\x81]"},            // 0x7A71 U+5439
    {0xF664, "[PPV]"},                 // 0x7A72
    {0xF068, "[\x94\xE9]"},            // 0x7A73 U+79D8
    {0xF0F7, "\x82\xD9\x82\xA9"},      // 0x7A74 U+307B U+304B
};
static_assert(sizeof(kLabels) / sizeof(kLabels[0]) == 38, "ARIB row 0x7A labels");

bool IsLeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

const char* FindLabel(unsigned char lead, unsigned char trail) {
    const unsigned code = (unsigned(lead) << 8) | trail;
    for (const Label& l : kLabels)
        if (l.code == code) return l.text;
    return nullptr;
}

}  // namespace

// One walk over the text by Shift_JIS characters, so a code is replaced only
// where it starts a character: in 88 F1 9F 40 the middle pair F1 9F is the
// tail of one character and the head of the next, not the symbol F19F. No
// label contains a user-defined code, so one pass gives what replacing the
// 38 codes one after another would.
std::string LabelAdditionalSymbols(const char* text) {
    std::string result;
    if (!text) return result;

    const auto* p = reinterpret_cast<const unsigned char*>(text);
    while (*p) {
        if (IsLeadByte(p[0]) && p[1] != 0) {
            if (const char* label = FindLabel(p[0], p[1]))
                result += label;
            else
                result.append(reinterpret_cast<const char*>(p), 2);
            p += 2;
        } else {
            // A single-byte character, or a lead byte cut off by the end.
            result += static_cast<char>(*p);
            p += 1;
        }
    }
    return result;
}

}  // namespace tsvigil
