// SPDX-License-Identifier: BSD-2-Clause
#include "text/ARIBStringDecoder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "base/Platform.h"

namespace tsvigil {

namespace {

constexpr int kOutSize = 2 * ARIBStringDecoder::kWorkSize + 1;

std::string Decode(ARIBStringDecoder& dec, const std::vector<uint8_t>& in, int reset) {
    char out[kOutSize];
    return dec.Decode(out, in.data(), int(in.size()), reset);
}

std::string DecodeFresh(const std::vector<uint8_t>& in) {
    ARIBStringDecoder dec;
    return Decode(dec, in, 1);
}

// Code page 932 to UTF-8 by the system's table (glibc's iconv, Windows'
// code page 932), an independent reading of the Shift_JIS bytes.
std::string SjisToUtf8(const std::string& in) {
    Cp932Converter cd(Cp932Converter::Direction::ToUtf8);
    std::string out;
    const bool ok = cd.Available() && cd.Convert(in.data(), in.size(), out) == in.size();
    return ok ? out : "<iconv failed>";
}

}  // namespace

TEST(ARIBStringDecoderTest, DecodesOneCall) {
    struct Case { const char* name; std::vector<uint8_t> in; std::string sjis; };
    const Case kCases[] = {
        {"kanji in G0", {0x30, 0x21}, "\x88\x9F"},
        {"LS1 alphanumeric", {0x0E, 0x41}, "\x82\x60"},
        {"alphanumeric 0x5C is yen", {0x0E, 0x5C}, "\x81\x8F"},
        {"alphanumeric 0x7E is overline", {0x0E, 0x7E}, "\x81\x50"},
        {"hiragana via GR", {0xA2, 0xA4}, "\x82\xA0\x82\xA2"},
        {"LS3R katakana", {0x1B, 0x7C, 0xA2}, "\x83\x41"},
        {"LS1R alphanumeric", {0x1B, 0x7E, 0xC1}, "\x82\x60"},
        {"LS2", {0x1B, 0x6E, 0x22}, "\x82\xA0"},
        {"LS3", {0x1B, 0x6F, 0x22}, "\x83\x41"},
        {"LS0 after LS1", {0x0E, 0x0F, 0x30, 0x21}, "\x88\x9F"},
        {"SS2 for one character", {0x19, 0x21, 0x30, 0x21}, "\x82\x9F\x88\x9F"},
        {"SS3 for one character", {0x19, 0x1D, 0x22, 0x30, 0x21}, "\x83\x41\x88\x9F"},
        {"SS2 ignored by GR and kept", {0x19, 0xA2, 0x21}, "\x82\xA0\x82\x9F"},
        {"SS2 survives SP", {0x19, 0x20, 0x21}, "\x81\x40\x82\x9F"},
        {"ESC ( J into G0", {0x1B, 0x28, 0x4A, 0x41}, "\x82\x60"},
        {"ESC ) 0 into GL's G1 acts at once", {0x0E, 0x41, 0x1B, 0x29, 0x30, 0x41},
         "\x82\x60\x82\xBF"},
        {"ESC $ ) ; two-byte into G1", {0x1B, 0x24, 0x29, 0x3B, 0x0E, 0x7A, 0x56}, "\xF1\xAB"},
        {"ESC $ * 9 two-byte via GR", {0x1B, 0x24, 0x2A, 0x39, 0xB0, 0xA1}, "\x88\x9F"},
        {"ESC $ B not recognised", {0x1B, 0x24, 0x42, 0x30, 0x21}, "\x91\xAE"},
        {"ESC $ ( x: x decoded", {0x0E, 0x1B, 0x24, 0x28}, "\x81\x69"},
        {"ESC $ * x: x decoded", {0x0E, 0x1B, 0x24, 0x2A, 0x42}, "\x82\x61"},
        {"DRCS designation skipped", {0x0E, 0x1B, 0x29, 0x20, 0x41}, "\x81\x40\x82\x60"},
        {"unknown ESC x: x decoded", {0x0E, 0x1B, 0x41}, "\x82\x60"},
        {"CSI opening bracket", {0x9B, 0x30, 0x20, 0x53}, "\x81\x79"},
        {"CSI closing bracket", {0x9B, 0x31, 0x20, 0x53}, "\x81\x7A"},
        {"COL parameter is text", {0x0E, 0x90, 0x48}, "\x82\x67"},
        {"COL parameter as kanji lead", {0x90, 0x48, 0x21}, "\x94\x9F"},
        {"APR", {0x0D}, "\n"},
        {"MSZ and NSZ", {0x89, 0x8A}, ""},
        {"sizes leave width alone", {0x0E, 0x89, 0x41, 0x8A, 0x42}, "\x82\x60\x82\x61"},
        {"dropped C0/C1/DEL/0xA0/0xFF", {0x0E, 0x00, 0x7F, 0xA0, 0xFF, 0x41}, "\x82\x60"},
        {"kanji lead before SP", {0x30, 0x20, 0x30, 0x21}, "\x81\xAC\x81\x40\x88\x9F"},
        {"kanji lead before APR", {0x30, 0x0D, 0x30, 0x21}, "\x81\xAC\n\x88\x9F"},
        {"kanji lead before DEL", {0x30, 0x7F, 0x30, 0x21}, "\x81\xAC\x88\x9F"},
        {"kanji lead before CSI", {0x30, 0x9B, 0x30, 0x20, 0x53, 0x30, 0x21},
         "\x81\xAC\x81\x79\x88\x9F"},
        {"kanji lead before LS2", {0x30, 0x1B, 0x6E, 0x22}, "\x81\xAC\x82\xA0"},
        {"symbol row lead before SP", {0x7A, 0x20, 0x7A, 0x56}, "\x81\xAC\x81\x40\xF1\xAB"},
        {"GR kanji lead before SP", {0x1B, 0x24, 0x2A, 0x39, 0xB0, 0x20, 0xB0, 0xA1},
         "\x81\xAC\x81\x40\x88\x9F"},
        {"GR kanji lead before 0xA0", {0x1B, 0x24, 0x2A, 0x39, 0xB0, 0xA0, 0xB0, 0xA1},
         "\x81\xAC\x88\x9F"},
        {"empty", {}, ""},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.sjis, DecodeFresh(c.in));
    }
}

TEST(ARIBStringDecoderTest, CarriesUnfinishedSequence) {
    struct Case {
        const char* name;
        std::vector<uint8_t> first, second;
        std::string out1, out2;
    };
    const Case kCases[] = {
        {"kanji lead", {0x30}, {0x21}, "", "\x88\x9F"},
        {"kanji lead, then SP", {0x30}, {0x20, 0x30, 0x21}, "", "\x81\xAC\x81\x40\x88\x9F"},
        {"ESC $ B leaves last byte", {0x1B, 0x24, 0x42, 0x30, 0x21}, {0x21}, "\x91\xAE",
         "\x81\x40"},
        {"ESC $ + | ; designates G3", {0x1B, 0x24, 0x2B}, {0x3B, 0x1B, 0x7C, 0xB0, 0xA1}, "",
         "\x88\x9F"},
        {"ESC $ ) | ;", {0x0E, 0x1B, 0x24, 0x29}, {0x3B, 0x7A, 0x56}, "", "\xF1\xAB"},
        {"ESC $ | ) ;", {0x0E, 0x1B, 0x24}, {0x29, 0x3B, 0x7A, 0x56}, "", "\xF1\xAB"},
        {"ESC | ( J", {0x1B}, {0x28, 0x4A, 0x41}, "", "\x82\x60"},
        {"ESC ( | J", {0x1B, 0x28}, {0x4A, 0x41}, "", "\x82\x60"},
        {"SS2 stays pending over carry", {0x1B, 0x24, 0x2A, 0x3B, 0x19, 0x30},
         {0x21, 0x0E, 0x41}, "", "\x88\x9F\x82\x60"},
        {"GR kanji lead", {0x1B, 0x24, 0x2A, 0x3B, 0xB0}, {0xA1}, "", "\x88\x9F"},
        {"CSI with two", {0x9B, 0x31, 0x20}, {0x53, 0xA2}, "", "\x81\x7A\x82\xA0"},
        {"CSI alone", {0x9B}, {0x30, 0x20, 0x53}, "", "\x81\x79"},
        {"text before the carry", {0xA2, 0x30}, {0x21}, "\x82\xA0", "\x88\x9F"},
        {"carry waits over an empty call", {0x30}, {}, "", ""},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        ARIBStringDecoder dec;
        EXPECT_EQ(c.out1, Decode(dec, c.first, 1));
        EXPECT_EQ(c.out2, Decode(dec, c.second, 0));
    }
}

TEST(ARIBStringDecoderTest, ResetDiscardsCarryAndState) {
    ARIBStringDecoder dec;
    EXPECT_EQ("", Decode(dec, {0x1B, 0x7C, 0x30}, 0));  // LS3R, then a lone kanji lead
    // Joined to the carry the next 0x30 would be the kanji 0x3030, and GR
    // would still hold katakana.
    EXPECT_EQ("\x88\x9F\x82\xA0", Decode(dec, {0x30, 0x21, 0xA2}, 1));
}

TEST(ARIBStringDecoderTest, HostileCountsStayInBounds) {
    const std::vector<uint8_t> kanji = {0x30, 0x21};
    ARIBStringDecoder dec;
    char out[kOutSize];

    EXPECT_STREQ("", dec.Decode(out, kanji.data(), -5, 1));
    EXPECT_STREQ("", dec.Decode(out, nullptr, 0, 1));
    EXPECT_STREQ("", dec.Decode(out, nullptr, 7, 1));

    // A negative count is no input: the carry waits for the next call.
    EXPECT_STREQ("", dec.Decode(out, kanji.data(), 1, 1));
    EXPECT_STREQ("", dec.Decode(out, kanji.data(), -1, 0));
    EXPECT_STREQ("\x88\x9F", dec.Decode(out, kanji.data() + 1, 1, 0));

    // Input past the work buffer is cut: 512 spaces fit, 88 are ignored.
    // out is exactly 2 * kWorkSize + 1 so ASan sees any write beyond it.
    const std::vector<uint8_t> spaces(600, 0x20);
    std::vector<char> big(kOutSize);
    dec.Decode(big.data(), spaces.data(), int(spaces.size()), 1);
    EXPECT_EQ(1024u, std::strlen(big.data()));

    // With a carried ESC only 511 new bytes fit; ESC SP drops the ESC.
    const std::vector<uint8_t> esc = {0x1B};
    EXPECT_STREQ("", dec.Decode(big.data(), esc.data(), 1, 1));
    dec.Decode(big.data(), spaces.data(), int(spaces.size()), 0);
    EXPECT_EQ(1022u, std::strlen(big.data()));
}

// The three one-byte sets, read back through glibc's code page 932 table,
// in GL (0x21..0x7E) and in GR (0xA1..0xFE) form.
TEST(ARIBStringDecoderTest, OneByteSetsAgreeWithIconv) {
    struct Case { const char* name; std::vector<uint8_t> prefixGL, prefixGR; const char* utf8; };
    const Case kCases[] = {
        {"alphanumeric", {0x0E}, {0x1B, 0x7E},
         "！”＃＄％＆’（）＊＋，－．／０１２３４５６７８９：；＜＝＞？"
         "＠ＡＢＣＤＥＦＧＨＩＪＫＬＭＮＯＰＱＲＳＴＵＶＷＸＹＺ［￥］＾＿"
         "‘ａｂｃｄｅｆｇｈｉｊｋｌｍｎｏｐｑｒｓｔｕｖｗｘｙｚ｛｜｝￣"},
        {"hiragana", {0x1B, 0x6E}, {},
         "ぁあぃいぅうぇえぉおかがきぎくぐけげこごさざしじすずせぜそぞただ"
         "ちぢっつづてでとどなにぬねのはばぱひびぴふぶぷへべぺほぼぽまみ"
         "むめもゃやゅゆょよらりるれろゎわゐゑをん　　　ゝゞー。「」、・"},
        {"katakana", {0x1B, 0x6F}, {0x1B, 0x7C},
         "ァアィイゥウェエォオカガキギクグケゲコゴサザシジスズセゼソゾタダ"
         "チヂッツヅテデトドナニヌネノハバパヒビピフブプヘベペホボポマミ"
         "ムメモャヤュユョヨラリルレロヮワヰヱヲンヴヵヶヽヾー。「」、・"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> gl = c.prefixGL, gr = c.prefixGR;
        for (int b = 0x21; b <= 0x7E; ++b) {
            gl.push_back(uint8_t(b));
            gr.push_back(uint8_t(b | 0x80));
        }
        const std::string sjis = DecodeFresh(gl);
        EXPECT_EQ(2u * 94, sjis.size());
        EXPECT_EQ(c.utf8, SjisToUtf8(sjis));
        EXPECT_EQ(sjis, DecodeFresh(gr));
    }
}

TEST(ARIBStringDecoderTest, MixedTitleAgreesWithIconv) {
    // 日本 (kanji), の (GR hiragana), ニュース (katakana via LS3R), SP,
    // 10 (alphanumeric via LS1), then 【字】 from CSI and kanji.
    const std::vector<uint8_t> in = {0x46, 0x7C, 0x4B, 0x5C, 0xCE, 0x1B, 0x7C, 0xCB, 0xE5,
                                     0xF9, 0xB9, 0x20, 0x0E, 0x31, 0x30, 0x0F, 0x9B, 0x30,
                                     0x20, 0x53, 0x3B, 0x7A, 0x9B, 0x31, 0x20, 0x53};
    EXPECT_EQ("日本のニュース　１０【字】", SjisToUtf8(DecodeFresh(in)));
}

// Random byte strings, biased towards the codes that start sequences, cut
// into random pieces with random resets. Decoding in pieces must give the
// same bytes as decoding each reset-delimited run in one call, and each
// call must stay inside an output buffer of exactly 2 * count + 3 bytes and
// write no NUL before the one that ends the text.
TEST(ARIBStringDecoderTest, RandomSplitsMatchOneCall) {
    const uint8_t kHot[] = {0x1B, 0x24, 0x28, 0x29, 0x2A, 0x2B, 0x39, 0x3B, 0x4A, 0x30,
                            0x31, 0x9B, 0x19, 0x1D, 0x0E, 0x0F, 0x7C, 0x7D, 0x7E, 0x6E,
                            0x6F, 0x20, 0x0D, 0x7A, 0xA1, 0xFE, 0x00, 0xFF};
    std::mt19937 rng(20080601);

    // Decodes and returns the raw output, any NUL inside it included: the
    // NUL written last is found by decoding twice into buffers pre-filled
    // differently.
    auto raw = [](ARIBStringDecoder& dec, const uint8_t* p, int count, int reset) {
        const size_t size = size_t(count > 0 ? 2 * count + 3 : 1);
        std::vector<char> a(size, '\0'), b(size, '\xFF');
        ARIBStringDecoder copy = dec;
        dec.Decode(a.data(), p, count, reset);
        copy.Decode(b.data(), p, count, reset);
        size_t end = 0;
        while (end < size && a[end] == b[end]) ++end;
        EXPECT_GT(end, 0u);
        const std::string text(a.data(), end - 1);
        EXPECT_EQ(std::string::npos, text.find('\0'));
        return text;
    };

    for (int iter = 0; iter < 3000; ++iter) {
        SCOPED_TRACE(iter);
        std::vector<uint8_t> bytes(rng() % 64);
        for (auto& b : bytes) b = (rng() % 2) ? kHot[rng() % sizeof(kHot)] : uint8_t(rng());

        ARIBStringDecoder pieces;
        std::string got, want;
        size_t runStart = 0;
        for (size_t pos = 0; pos < bytes.size() || pos == 0;) {
            const size_t len = std::min<size_t>(rng() % 8, bytes.size() - pos);
            const int reset = (pos == 0 || rng() % 5 == 0) ? 1 : 0;
            if (reset && pos > 0) {
                ARIBStringDecoder whole;
                want += raw(whole, bytes.data() + runStart, int(pos - runStart), 1);
                runStart = pos;
            }
            // Exactly-sized piece so ASan catches an overread of src.
            const std::vector<uint8_t> piece(bytes.begin() + long(pos),
                                             bytes.begin() + long(pos + len));
            if (rng() % 10 == 0) got += raw(pieces, piece.data(), -int(rng() % 4) - 1, 0);
            got += raw(pieces, piece.data(), int(piece.size()), reset);
            pos += len;
            if (bytes.empty()) break;
        }
        ARIBStringDecoder whole;
        want += raw(whole, bytes.data() + runStart, int(bytes.size() - runStart), 1);
        EXPECT_EQ(want, got);
    }
}

}  // namespace tsvigil
