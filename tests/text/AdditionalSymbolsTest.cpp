// SPDX-License-Identifier: BSD-2-Clause
#include "text/AdditionalSymbols.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "text/JISToSJIS.h"

#include "base/Platform.h"

namespace tsvigil {

namespace {

// Code page 932 to UTF-8 by the system's table (glibc's iconv, Windows'
// code page 932), an independent reading of the Shift_JIS bytes.
std::string SjisToUtf8(const std::string& in) {
    Cp932Converter cd(Cp932Converter::Direction::ToUtf8);
    std::string out;
    const bool ok = cd.Available() && cd.Convert(in.data(), in.size(), out) == in.size();
    return ok ? out : "<iconv failed>";
}

// Labels the NUL-terminated copy of bytes (kept in an exactly-sized vector
// so an overread past the terminator shows up under ASan).
std::string Label(const std::string& sjis) {
    const std::vector<char> text(sjis.c_str(), sjis.c_str() + sjis.size() + 1);
    return LabelAdditionalSymbols(text.data());
}

}  // namespace

TEST(LabelAdditionalSymbolsTest, ReplacesOnCharacterBoundaries) {
    struct Case { const char* name; std::string in; std::string out; };
    const Case kCases[] = {
        {"empty", "", ""},
        {"no symbols", "\x88\x9F" "abc", "\x88\x9F" "abc"},
        {"HV then hiragana a", "\xF6\x4F\x82\xA0", "[HV]\x82\xA0"},
        {"HV then ASCII", "\xF6\x4F" "xyz", "[HV]xyz"},
        {"hoka twice", "\xF0\xF7\xF0\xF7", "\x82\xD9\x82\xA9\x82\xD9\x82\xA9"},
        {"labels without brackets", "\xF6\x4C\xF6\x4D\xF6\x4E", "10.11.12."},
        {"pair across a boundary", "\x88\xF1\x9F\x40", "\x88\xF1\x9F\x40"},
        {"lone lead byte at the end", "\xF6", "\xF6"},
        {"after ASCII", "A\xF6\x4F", "A[HV]"},
        {"after half-width katakana", "\xB1\xF6\x4F", "\xB1[HV]"},
        {"after non-lead 0x80", "\x80\xF6\x4F", "\x80[HV]"},
        {"lead 0x9F swallows F6", "\x9F\xF6\x4F", "\x9F\xF6\x4F"},
        {"lead 0xFC swallows F6", "\xFC\xF6\x4F", "\xFC\xF6\x4F"},
        {"unlabelled user-defined code", "\xF6\x4B\xF6\x65", "\xF6\x4B\xF6\x65"},
        {"black square stays", "\x81\xA1", "\x81\xA1"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.out, Label(c.in));
    }
}

// Walks the ARIB row 0x7A symbols through JISToSJIS() and the labeller, so
// the two tables are held to agree, and reads the labels back through
// glibc's code page 932 table.
TEST(LabelAdditionalSymbolsTest, LabelsEveryAdditionalSymbol) {
    struct Case { int jis; const char* utf8; };
    const Case kCases[] = {
        {0x7A4D, "10."},  {0x7A4E, "11."},  {0x7A4F, "12."},  {0x7A50, "[HV]"},
        {0x7A51, "[SD]"}, {0x7A52, "[P]"},  {0x7A53, "[W]"},  {0x7A54, "[MV]"},
        {0x7A55, "[手]"}, {0x7A56, "[字]"}, {0x7A57, "[双]"}, {0x7A58, "[デ]"},
        {0x7A59, "[S]"},  {0x7A5A, "[二]"}, {0x7A5B, "[多]"}, {0x7A5C, "[解]"},
        {0x7A5D, "[SS]"}, {0x7A5E, "[B]"},  {0x7A5F, "[N]"},  {0x7A60, "■"},
        {0x7A61, "■"},    {0x7A62, "[天]"}, {0x7A63, "[交]"}, {0x7A64, "[映]"},
        {0x7A65, "[無]"}, {0x7A66, "[料]"}, {0x7A67, "[鍵]"}, {0x7A68, "[前]"},
        {0x7A69, "[後]"}, {0x7A6A, "[再]"}, {0x7A6B, "[新]"}, {0x7A6C, "[初]"},
        {0x7A6D, "[終]"}, {0x7A6E, "[生]"}, {0x7A6F, "[販]"}, {0x7A70, "[声]"},
        {0x7A71, "[吹]"}, {0x7A72, "[PPV]"}, {0x7A73, "[秘]"}, {0x7A74, "ほか"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(testing::Message() << std::hex << "JIS 0x" << c.jis);
        const std::vector<uint8_t> jis = {uint8_t(c.jis >> 8), uint8_t(c.jis & 0xFF)};
        const int sjis = JISToSJIS(jis.data());
        // Framed by あ so a label that eats a neighbour shows.
        const std::string in = std::string("\x82\xA0") + char(sjis >> 8) + char(sjis & 0xFF) +
                               "\x82\xA0";
        EXPECT_EQ(std::string("あ") + c.utf8 + "あ", SjisToUtf8(Label(in)));
    }
}

TEST(LabelAdditionalSymbolsTest, NullTextIsEmpty) {
    EXPECT_EQ("", LabelAdditionalSymbols(nullptr));
}

// A long text comes out whole: every one of 600 codes grows from two bytes
// to five.
TEST(LabelAdditionalSymbolsTest, GrowsForLongText) {
    std::string in, out;
    for (int k = 0; k < 600; ++k) {
        in += "\xF6\x64";
        out += "[PPV]";
    }
    EXPECT_EQ(out, Label(in));
}

}  // namespace tsvigil
