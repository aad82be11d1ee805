// SPDX-License-Identifier: BSD-2-Clause
#include "base/Platform.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "base/ErrorText.h"

namespace tsvigil {

namespace {

// The reports carry these texts: every system must give the C locale's.
TEST(PlatformTest, ErrorTextIsTheCLocales) {
    const std::pair<int, const char*> cases[] = {
        {ENOENT, "ENOENT: No such file or directory"},
        {EACCES, "EACCES: Permission denied"},
        {EISDIR, "EISDIR: Is a directory"},
        {EIO, "EIO: Input/output error"},
        {ENOSPC, "ENOSPC: No space left on device"},
        {0, ""},
    };
    for (const auto& [number, text] : cases) EXPECT_EQ(text, ErrorText(number)) << number;
}

// Each conversion stops exactly before the first character that has no
// counterpart (or is cut off), with everything before it converted.
TEST(PlatformTest, Cp932ConvertsUpToWhatHasNoCounterpart) {
    struct Case {
        Cp932Converter::Direction direction;
        std::string in;
        size_t taken;
        std::string out;
    };
    using D = Cp932Converter::Direction;
    const Case cases[] = {
        {D::ToUtf8, "A\x93\xFA\x96\x7B\xB1\x87\x40", 8, "A日本ｱ①"},
        {D::FromUtf8, "A日本ｱ①", 13, "A\x93\xFA\x96\x7B\xB1\x87\x40"},
        {D::ToUtf8, "\x93\xFA\x85\x40\x93\xFA", 2, "日"},
        {D::ToUtf8, "A\x93", 1, "A"},
        {D::FromUtf8, "日\xF0\x9F\x93\xBA日", 3, "\x93\xFA"},  // an emoji
        {D::FromUtf8, "日\xE6\x9C", 3, "\x93\xFA"},            // cut off
    };
    for (const auto& c : cases) {
        Cp932Converter conv(c.direction);
        ASSERT_TRUE(conv.Available());
        std::string out;
        EXPECT_EQ(c.taken, conv.Convert(c.in.data(), c.in.size(), out)) << c.in;
        EXPECT_EQ(c.out, out) << c.in;
    }
}

}  // namespace

}  // namespace tsvigil
