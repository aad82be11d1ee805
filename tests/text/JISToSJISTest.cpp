// SPDX-License-Identifier: BSD-2-Clause
#include "text/JISToSJIS.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace tsvigil {

namespace {

int Map(int lead, int trail) {
    const std::vector<uint8_t> b = {uint8_t(lead), uint8_t(trail)};
    return JISToSJIS(b.data());
}

// Converts with glibc's iconv; false when iconv rejects the input.
bool Iconv(const char* from, const char* to, std::string in, std::string* out) {
    iconv_t cd = iconv_open(to, from);
    char buf[64];
    char *ip = in.data(), *op = buf;
    size_t il = in.size(), ol = sizeof buf;
    const bool ok = cd != iconv_t(-1) && iconv(cd, &ip, &il, &op, &ol) != size_t(-1) && il == 0;
    if (cd != iconv_t(-1)) iconv_close(cd);
    if (ok) out->assign(buf, op);
    return ok;
}

std::string Bytes(int code) { return {char(code >> 8), char(code & 0xFF)}; }

}  // namespace

TEST(JISToSJISTest, ArithmeticAndBounds) {
    struct Case { const char* name; std::vector<uint8_t> in; int sjis; };
    const Case kCases[] = {
        {"kanji GL", {0x30, 0x21}, 0x889F},
        {"kanji GR", {0xB0, 0xA1}, 0x889F},
        {"hiragana small a", {0x24, 0x21}, 0x829F},
        {"ideographic space", {0x21, 0x21}, 0x8140},
        {"odd row last cell", {0x21, 0x7E}, 0x819E},
        {"odd row trail 0x60 skips 0x7F", {0x5F, 0x60}, 0xE080},
        {"row 0x5F first lead past gap", {0x5F, 0x21}, 0xE040},
        {"even row first cell", {0x60, 0x21}, 0xE09F},
        {"row 0x74 last arithmetic cell", {0x74, 0x7E}, 0xEAFC},
        {"GL lead, GR trail", {0x30, 0xA1}, 0x889F},
        {"trail 0x20 is geta", {0x30, 0x20}, 0x81AC},
        {"trail 0x0D is geta", {0x30, 0x0D}, 0x81AC},
        {"trail 0x7F is geta", {0x30, 0x7F}, 0x81AC},
        {"trail 0xA0 is geta", {0xB0, 0xA0}, 0x81AC},
        {"trail 0xFF is geta", {0xB0, 0xFF}, 0x81AC},
        {"lead 0x20 is geta", {0x20, 0x21}, 0x81AC},
        {"row 0x75 trail 0x20 is geta", {0x75, 0x20}, 0x81AC},
        {"lead 0x7F is geta", {0x7F, 0x21}, 0x81AC},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.sjis, JISToSJIS(c.in.data()));
    }
}

// Every assigned JIS X 0208 cell must land on the same character in
// Shift_JIS as glibc's own EUC-JP decoder finds for it.
TEST(JISToSJISTest, AgreesWithIconvOverJISX0208) {
    int checked = 0;
    for (int j1 = 0x21; j1 <= 0x74; ++j1) {
        for (int j2 = 0x21; j2 <= 0x7E; ++j2) {
            std::string viaEuc;
            const std::string euc = {char(j1 | 0x80), char(j2 | 0x80)};
            if (!Iconv("EUC-JP", "UTF-8", euc, &viaEuc)) continue;  // unassigned
            const int sjis = Map(j1, j2);
            std::string viaSjis;
            SCOPED_TRACE(testing::Message() << std::hex << "JIS 0x" << (j1 << 8 | j2)
                                            << " -> 0x" << sjis);
            ASSERT_TRUE(Iconv("SHIFT_JIS", "UTF-8", Bytes(sjis), &viaSjis));
            EXPECT_EQ(viaEuc, viaSjis);
            EXPECT_EQ(sjis, Map(j1 | 0x80, j2 | 0x80));
            ++checked;
        }
    }
    EXPECT_GT(checked, 6800);  // JIS X 0208 assigns 6879 cells
}

namespace {

struct SpecialRun { int jis; int sjis; int length; };
// ARIB additional symbols and kanji with a code page 932 form, written as
// runs so the table under test is not restated entry by entry.
const SpecialRun kRuns[] = {
    {0x7540, 0xFAB1, 1}, {0x7544, 0xFA67, 1}, {0x7545, 0xFABA, 1}, {0x7647, 0xFBFC, 1},
    {0x7A4D, 0xF64C, 9}, {0x7A56, 0xF1AB, 1}, {0x7A57, 0xF655, 2}, {0x7A59, 0xF1A7, 1},
    {0x7A5A, 0xF1A9, 1}, {0x7A5B, 0xF2D0, 1}, {0x7A5C, 0xF1BA, 1}, {0x7A5D, 0xF657, 1},
    {0x7A5E, 0xF1B8, 1}, {0x7A5F, 0xF1A1, 1}, {0x7A62, 0xF1A0, 1}, {0x7A63, 0xF19F, 1},
    {0x7A64, 0xF658, 6}, {0x7A6A, 0xF1AC, 1}, {0x7A6B, 0xF65E, 5}, {0x7A70, 0xF0F4, 1},
    {0x7A71, 0xF663, 2}, {0x7A73, 0xF068, 1}, {0x7A74, 0xF0F7, 1}, {0x7C21, 0x81A8, 4},
    {0x7C27, 0x944E, 1}, {0x7C28, 0x8C8E, 1}, {0x7C29, 0x93FA, 1}, {0x7C2A, 0x897E, 1},
    {0x7C2B, 0x8775, 1}, {0x7C4C, 0x878B, 1}, {0x7C4D, 0x878A, 1}, {0x7C4E, 0x878C, 1},
    {0x7D29, 0x878D, 3}, {0x7D2C, 0x877E, 1}, {0x7D2D, 0x8782, 1}, {0x7D2E, 0x8784, 1},
    {0x7E21, 0x8754, 10}, {0x7E2D, 0x8750, 4}, {0x7E61, 0x8740, 16},
};

}  // namespace

// Sweeps every 15-bit code from 0x7500 up, in GL and GR form: the 90 listed
// codes map as listed, a byte that is no JIS byte gives GETA MARK, and every
// other code BLACK SQUARE.
TEST(JISToSJISTest, SpecialCodesAndBlackSquare) {
    std::map<int, int> expected;
    for (const SpecialRun& r : kRuns)
        for (int k = 0; k < r.length; ++k) expected[r.jis + k] = r.sjis + k;
    ASSERT_EQ(90u, expected.size());

    for (int jis = 0x7500; jis <= 0x7FFF; ++jis) {
        if (jis & 0x80) continue;  // not a 15-bit code
        SCOPED_TRACE(testing::Message() << std::hex << "JIS 0x" << jis);
        const auto it = expected.find(jis);
        const int j1 = jis >> 8, j2 = jis & 0x7F;
        const bool malformed = j1 > 0x7E || j2 < 0x21 || j2 > 0x7E;
        const int want = malformed ? 0x81AC : it == expected.end() ? 0x81A1 : it->second;
        EXPECT_EQ(want, Map(jis >> 8, jis & 0xFF));
        EXPECT_EQ(want, Map((jis >> 8) | 0x80, (jis & 0xFF) | 0x80));
    }
    for (int jis : {0x7A60, 0x7A61, 0x7521, 0x7E7E, 0x7A4C, 0x7A75, 0x7E71}) {
        SCOPED_TRACE(testing::Message() << std::hex << "JIS 0x" << jis);
        EXPECT_EQ(0x81A1, Map(jis >> 8, jis & 0xFF));
    }
}

// The special codes that are real characters, read back through glibc's
// code page 932 table.
TEST(JISToSJISTest, SpecialCharactersAgreeWithIconv) {
    struct Case { int jis; const char* utf8; };
    const Case kCases[] = {
        {0x7540, "﨑"}, {0x7544, "彅"}, {0x7545, "德"}, {0x7647, "髙"},
        {0x7C21, "→"}, {0x7C22, "←"}, {0x7C23, "↑"}, {0x7C24, "↓"},
        {0x7C27, "年"}, {0x7C28, "月"}, {0x7C29, "日"}, {0x7C2A, "円"}, {0x7C2B, "㎡"},
        {0x7C4C, "㈲"}, {0x7C4D, "㈱"}, {0x7C4E, "㈹"},
        {0x7D29, "㍾"}, {0x7D2A, "㍽"}, {0x7D2B, "㍼"}, {0x7D2C, "㍻"},
        {0x7D2D, "№"}, {0x7D2E, "℡"},
        {0x7E21, "Ⅰ"}, {0x7E25, "Ⅴ"}, {0x7E2A, "Ⅹ"},
        {0x7E2D, "⑰"}, {0x7E30, "⑳"}, {0x7E61, "①"}, {0x7E6A, "⑩"}, {0x7E70, "⑯"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(testing::Message() << std::hex << "JIS 0x" << c.jis);
        std::string utf8;
        ASSERT_TRUE(Iconv("CP932", "UTF-8", Bytes(Map(c.jis >> 8, c.jis & 0xFF)), &utf8));
        EXPECT_EQ(c.utf8, utf8);
    }
}

}  // namespace tsvigil
