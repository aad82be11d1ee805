// SPDX-License-Identifier: BSD-2-Clause
#include "text/Utf8.h"

#include <gtest/gtest.h>

#include <string>

#include "base/MemoryFile.h"

namespace tsvigil {

namespace {

TEST(SjisToUtf8Test, ConvertsAndNeverStopsEarly) {
    struct Case {
        const char* name;
        std::string sjis;
        std::string utf8;
    };
    const std::string geta = "\xE3\x80\x93";
    const Case cases[] = {
        {"ASCII", "eit:ABC(1).", "eit:ABC(1)."},
        {"kanji and a half-width katakana", "\x93\xFA\x96\x7B\xB1", "日本ｱ"},
        {"NEC special row: circled one", "\x87\x40", "①"},
        // Rows CP932 leaves empty: one geta mark each, and the rest follows.
        {"unassigned code, then text", "\x85\x40" "A\x93\xFA", geta + "A日"},
        {"two unassigned codes", "\x86\x9F\x86\x9F", geta + geta},
        {"lead byte without its trail byte at the end", "A\x93", "A" + geta},
        {"lead byte followed by a non-trail byte", std::string("\x93\x0A", 2), geta + "\n"},
    };
    SjisToUtf8 conv;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.utf8, conv.Convert(c.sjis));
    }
}

TEST(SjisToUtf8Test, ValidUtf8ReplacesWhatDoesNotDecode) {
    const std::string fffd = "\xEF\xBF\xBD";
    const std::pair<std::string, std::string> cases[] = {
        {"plain", "plain"},
        {"日本", "日本"},
        {"a\xFF" "b", "a" + fffd + "b"},
        {"\xC0\xAF", fffd + fffd},          // overlong '/'
        {"\xED\xA0\x80", fffd + fffd + fffd},  // a surrogate
        {"\xE6\x97", fffd + fffd},          // cut short
        {"\xF4\x90\x80\x80", fffd + fffd + fffd + fffd},  // past U+10FFFF
    };
    for (const auto& c : cases) EXPECT_EQ(c.second, ValidUtf8(c.first)) << c.first;
}

TEST(SjisToUtf8Test, WriterConvertsWholeLines) {
    MemoryFile mem;
    ASSERT_NE(nullptr, mem.File());
    std::FILE* w = OpenUtf8Writer(mem.File());
    ASSERT_NE(mem.File(), w);
    // A character split between two writes is converted whole.
    std::fputs(" eit:\x93", w);
    std::fflush(w);
    std::fputs("\xFA(1).\n\x85\x40", w);
    EXPECT_EQ(0, CloseWriteStream(w));
    EXPECT_EQ(" eit:日(1).\n\xE3\x80\x93", mem.Take());
}

}  // namespace

}  // namespace tsvigil
