// SPDX-License-Identifier: BSD-2-Clause
#include "text/Utf8.h"

#include <algorithm>
#include <cstdint>
#include <memory>

#include "base/Platform.h"

namespace tsvigil {

namespace {

const char kGeta[] = "\xE3\x80\x93";  // U+3013
const char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD

// A Shift_JIS lead byte: the first of a two-byte character.
bool IsLead(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }
bool IsTrail(unsigned char c) { return c >= 0x40 && c <= 0xFC && c != 0x7F; }

}  // namespace

std::string SjisToUtf8::Convert(const char* s, size_t n) {
    std::string out;
    out.reserve(n + n / 2);
    const bool available = m_converter.Available();
    size_t i = 0;
    while (i < n) {
        if (!available) {
            // Without a code page 932 table only ASCII can be told.
            const unsigned char c = static_cast<unsigned char>(s[i]);
            if (c < 0x80) {
                out += static_cast<char>(c);
                ++i;
            } else {
                out += kGeta;
                i += IsLead(c) && i + 1 < n ? 2 : 1;
            }
            continue;
        }
        i += m_converter.Convert(s + i, n - i, out);
        if (i < n) {
            // No character here: one geta mark for the character (two bytes
            // when a lead byte has its trail byte), then carry on.
            out += kGeta;
            const unsigned char c = static_cast<unsigned char>(s[i]);
            i += IsLead(c) && i + 1 < n && IsTrail(static_cast<unsigned char>(s[i + 1])) ? 2 : 1;
        }
    }
    return out;
}

std::string Utf8ToSjis(const std::string& utf8) {
    const std::string s = ValidUtf8(utf8);
    Cp932Converter cd(Cp932Converter::Direction::FromUtf8);
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size();) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        // One character at a time, so that one without a code costs only itself.
        const size_t len = std::min<size_t>(c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4, s.size() - i);
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (!cd.Available() || cd.Convert(s.data() + i, len, out) != len) {
            out += "\x81\xAC";
        }
        i += len;
    }
    return out;
}

std::string ValidUtf8(const std::string& s) {
    std::string out;
    out.reserve(s.size());
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    const size_t n = s.size();
    size_t i = 0;
    while (i < n) {
        const unsigned char c = p[i];
        int len = 0;
        uint32_t cp = 0;
        if (c < 0x80) len = 1, cp = c;
        else if (c >= 0xC2 && c <= 0xDF) len = 2, cp = c & 0x1F;
        else if (c >= 0xE0 && c <= 0xEF) len = 3, cp = c & 0x0F;
        else if (c >= 0xF0 && c <= 0xF4) len = 4, cp = c & 0x07;
        bool ok = len > 0 && i + static_cast<size_t>(len) <= n;
        for (int k = 1; ok && k < len; ++k) {
            const unsigned char t = p[i + static_cast<size_t>(k)];
            ok = (t & 0xC0) == 0x80;
            cp = (cp << 6) | (t & 0x3F);
        }
        // No overlong forms, no surrogates, nothing past U+10FFFF.
        ok = ok && !(len == 3 && cp < 0x800) && !(len == 4 && (cp < 0x10000 || cp > 0x10FFFF)) &&
             !(cp >= 0xD800 && cp <= 0xDFFF);
        if (ok) {
            out.append(s, i, static_cast<size_t>(len));
            i += static_cast<size_t>(len);
        } else {
            out += kReplacement;
            ++i;
        }
    }
    return out;
}

namespace {

// The cookie of a converting stream: Shift_JIS bytes gather until a line
// ends, so no character is ever split between two conversions.
struct Utf8Writer {
    std::FILE* out;
    SjisToUtf8 conv;
    std::string pending;

    bool Emit(const std::string& sjis) {
        const std::string u = conv.Convert(sjis);
        return std::fwrite(u.data(), 1, u.size(), out) == u.size();
    }

    static long Write(void* cookie, const char* buf, size_t size) {
        auto* w = static_cast<Utf8Writer*>(cookie);
        w->pending.append(buf, size);
        const size_t nl = w->pending.rfind('\n');
        if (nl == std::string::npos) return static_cast<long>(size);
        const std::string lines = w->pending.substr(0, nl + 1);
        w->pending.erase(0, nl + 1);
        return w->Emit(lines) ? static_cast<long>(size) : -1;
    }

    static int Close(void* cookie) {
        std::unique_ptr<Utf8Writer> w(static_cast<Utf8Writer*>(cookie));
        const bool ok = w->pending.empty() || w->Emit(w->pending);
        return ok && std::fflush(w->out) == 0 ? 0 : -1;
    }
};

}  // namespace

std::FILE* OpenUtf8Writer(std::FILE* out) {
    auto w = std::make_unique<Utf8Writer>();
    w->out = out;
    std::FILE* f = OpenWriteStream(w.get(), &Utf8Writer::Write, &Utf8Writer::Close);
    if (f == nullptr) return out;
    w.release();  // owned by the stream from now on; freed by Close
    return f;
}

}  // namespace tsvigil
